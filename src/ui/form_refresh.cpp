// TForm1: the 100 ms refresh of the live values, the counter, the overload mark and the
// mean of means, and the data-set list (a new line after a single capture, the rebuild
// after an automatic recording).

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

#include "device/device_parameters.h"
#include "files/data_file_writer.h"
#include "measure/meas_data.h"
#include "settings/language.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/form1.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

namespace {
// The unit is known once the instrument's parameters are complete.
std::string UnitText() {
    return IsComplete() ? deviceParameters.unitText : std::string();
}
} // namespace

void TForm1::TimerGetMeasTimer() {
    if (!measData)
        return;
    const bool stored = measData->ProcessSamples();
    // A modal box inside the processing lets other handlers run: read everything afresh.
    if (!measData)
        return;
    TMeasData& store = *measData;

    const std::string unit = " " + UnitText();
    SetLabelText(meas300, Q(store.GetMeanText() + unit));
    SetLabelText(pkMax, Q(store.GetMaxText() + unit));
    SetLabelText(pkMin, Q(store.GetMinText() + unit));
    SetLabelText(pkMaxAvr, Q(store.GetMaxAvrText() + unit));
    SetLabelText(pkMinAvr, Q(store.GetMinAvrText() + unit));
    WriteDataSetCounter();

    if (store.IsAutoRecording()) {
        listRebuildPending = true; // the chart is fed by the processing meanwhile
    } else if (stored) {
        BuildHeader();
        ListNewDataSets();
        ButtonZoomClick();
    } else if (listRebuildPending) {
        listRebuildPending = false;
        RebuildList();
        SetStatusText(QString());
        if (store.IsConnectionLost())
            SetStatusText(Q(Translate("No connection to Tensolog")));
        RecordingEndedState();
        if (store.IsConnectionLost()) {
            // This is the save of the lost connection too: the step below must not
            // save a second time when the loss arrives in this very tick.
            connectionLossHandled = true;
            saveToFileClick();
        }
    }

    if (measData && measData->IsConnectionLost() && !connectionLossHandled) {
        connectionLossHandled = true;
        if (Stop->isEnabled())
            StopClick(); // a later tick rebuilds the list and saves
        else
            saveToFileClick();
    }

    LabelOverflow->setVisible(overloadHoldOff > 0);
    SetLabelText(TrumakCompany, Q(meanOfMeansText));
    SetLabelText(Label14, QStringLiteral(" ") + QString::number(meanOfMeansCount));
    emit DisplayRefreshed();
}

void TForm1::ScrollListToEnd() {
    ListView1->scrollToBottom();
    // The view settles its scroll bars once more when control is back in the event loop.
    QTimer::singleShot(0, ListView1, &QTreeView::scrollToBottom);
}

void TForm1::WriteDataSetCounter() {
    if (!measData)
        return;
    // The data sets held, also once the table has wrapped.
    SetLabelText(State,
                 QStringLiteral("%1 / %2").arg(measData->GetDataSetCount()).arg(measData->GetDataListSize()));
}

void TForm1::BuildHeader() {
    // Date and time keep the captions a loaded file gave them.
    const ListCaptions captions = DataSetCaptions(UnitText());
    for (int c = 3; c < kListColumnCount; ++c)
        listModel->SetCaption(c, Q(captions[static_cast<std::size_t>(c)]));
    Chart1->SetLeftAxisTitle(listModel->Caption(4));
    setXAxis();
}

void TForm1::AddDataLine(int line, int row) {
    if (!measData)
        return;
    const TMeasData& store = *measData;
    if (row < 0 || row >= store.GetDataListSize()) {
        OpenMessageBox("Index Error in AddDataLine()", kCaptionError);
        row = 0;
    }
    listModel->AppendLine({QString::number(line + 1), Q(store.GetRowDate(row)), Q(store.GetRowTime(row)),
                           Q(store.GetRowMs(row)), Q(store.GetRowMean(row)), Q(store.GetRowMin(row)),
                           Q(store.GetRowMax(row)), Q(store.GetRowMinAvr(row)), Q(store.GetRowMaxAvr(row))});
    if (!listModel->InBatch())
        ScrollListToEnd();
    if (line == 0)
        firstDataSetTime = store.GetRowTimestamp(row);
    PlotDataSet(line, row);
}

void TForm1::ListNewDataSets() {
    if (!measData)
        return;
    TMeasData& store = *measData;
    const TMeasData::UnlistedDataSets fresh = store.TakeUnlistedDataSets();
    // A full table replaced its oldest data sets: every line moves up and renumbers.
    if (fresh.oldestReplaced) {
        RelistDataSets(false);
        return;
    }
    // Several data sets can be stored in one tick (two key presses, a key press and a
    // single shot, the backlog after a stall): each gets its line, oldest first.
    const int held = store.GetDataSetCount();
    for (int k = std::max(0, held - fresh.count); k < held; ++k)
        AddDataLine(k, store.RowOfDataSet(k));
}

void TForm1::AddBlankLine() {
    listModel->AppendLine({QString(), QString(), QString()});
    if (!listModel->InBatch())
        ScrollListToEnd();
}

void TForm1::RebuildList() {
    if (!measData)
        return;
    // A recording that wrapped leaves the newest data set somewhere in the table: the
    // table is put in time order, and its last row is the newest from now on.
    if (measData->IsDataListWrapped())
        measData->MarkDataListFull();
    RelistDataSets(true);
}

void TForm1::RelistDataSets(bool blankLineBelow) {
    if (!measData)
        return;
    TMeasData& store = *measData;
    // The list shows the table afresh, oldest data set first; drawing waits for the end.
    ListView1->setUpdatesEnabled(false);
    listModel->BeginBatch();
    listModel->Clear();
    Chart1->ClearPoints();
    BuildHeader();
    const int held = store.GetDataSetCount();
    for (int k = 0; k < held; ++k)
        AddDataLine(k, store.RowOfDataSet(k));
    if (blankLineBelow)
        AddBlankLine();
    store.TakeUnlistedDataSets(); // all listed now
    listModel->EndBatch();
    ListView1->setUpdatesEnabled(true);
    ListView1->doItemsLayout(); // the scroll range must know the new lines
    ScrollListToEnd();
    ButtonZoomClick();
    WriteDataSetCounter();
}

} // namespace kantrel::ui
