// TForm1: the operator's recording actions. The handlers set requests in the store and
// adjust the window; the processing cycle stores the data sets and the refresh shows them.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "core/link_flags.h"
#include "measure/meas_data.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/form1.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

namespace {
bool Connected() {
    return instrumentConnected.load() && measData != nullptr;
}
} // namespace

void TForm1::ButtonSingleShotClick() {
    if (dataLoadedFromFile) {
        ClrAllClick();
        dataLoadedFromFile = false;
    }
    if (!Connected())
        return;
    measData->RequestSingleShot();
    SetGraficMode(false);
    ButtonExcel->setEnabled(true);
    saveToFile->setEnabled(true);
    // A running delay is not restarted: the clear follows the first of quick clicks.
    if (settings.ClrPeakAfterSingleShot && !TimerZeroSingle->IsActive())
        TimerZeroSingle->Start(timerZeroSingleMs);
}

void TForm1::TimerZeroSingleTimer() {
    TimerZeroSingle->Stop();
    clrPeakClick();
}

void TForm1::StartClick() {
    if (!Connected())
        return;
    ClrAllClick();
    for (QWidget* off : {static_cast<QWidget*>(ClrLast), static_cast<QWidget*>(ClrAll),
                         static_cast<QWidget*>(saveToFile), static_cast<QWidget*>(loadFromFile),
                         static_cast<QWidget*>(ButtonSingleShot), static_cast<QWidget*>(Start)})
        off->setEnabled(false);
    Stop->setEnabled(true);
    for (QWidget* off : {static_cast<QWidget*>(ComboBoxSampleRate), static_cast<QWidget*>(Language),
                         static_cast<QWidget*>(ButtonExcel)})
        off->setEnabled(false);
    SetGraficMode(false);
    measData->SetAutoRecording(true);
}

void TForm1::StopClick() {
    Stop->setEnabled(false);
    if (Connected())
        measData->SetAutoRecording(false);
    SetStatusText(Q(Translate("BUSY by Calculation")));
    Chart1->ClearPoints();
}

void TForm1::ClrAllClick() {
    if (Connected())
        measData->ClearDataList();
    Chart1->ClearPoints();
    listModel->Clear();
    SetLabelText(State, QString());
    SetGraficMode(true);
    saveToFile->setEnabled(false);
    ButtonExcel->setEnabled(false);
    ResetMeanOfMeans();
}

void TForm1::ClrLastClick() {
    if (!Connected())
        return;
    TMeasData& store = *measData;
    const int held = store.GetDataSetCount();
    if (held == 0) {
        saveToFile->setEnabled(false);
        ButtonExcel->setEnabled(false);
        return;
    }
    // The newest data set: the last data line (a blank line may end a recording above
    // single shots) and the last of the points, which follow the list's order.
    listModel->RemoveLine(listModel->LastDataLine());
    for (int slot = 0; slot < kSeriesSlots; ++slot) {
        if (IsSeriesChecked(slot))
            Chart1->DeletePoint(slot, held - 1); // a series without that point stays
    }
    store.DropLastRow();
    if (store.GetDataSetCount() == 0) {
        saveToFile->setEnabled(false);
        ButtonExcel->setEnabled(false);
    }
}

void TForm1::CheckBoxAutoClrPeakClick() {
    if (!SettingsFilePath()) {
        ShowMessageBox(kAppDataNotFound, kCaptionError);
        return;
    }
    settings.ClrPeakAfterSingleShot = CheckBoxAutoClrPeak->isChecked();
    if (const StoreResult stored =
            StoreSetting("ClrPeakAfterSingleShot", settings.ClrPeakAfterSingleShot ? "1" : "0");
        !stored)
        ShowMessageBox(stored.error, kCaptionError);
}

void TForm1::CheckBoxToKeyBufClick() {
    settings.WriteToKeyBuffer = CheckBoxToKeyBuf->isChecked();
    if (!SettingsFilePath()) {
        ShowMessageBox(kAppDataNotFound, kCaptionError);
        return;
    }
    // One switch: an instrument-key press records a data set and types its mean.
    settings.useSelKeySingleShot = settings.WriteToKeyBuffer ? 1 : 0;
    const char* value = settings.WriteToKeyBuffer ? "1" : "0";
    if (const StoreResult stored = StoreSettings("WriteToKeyBuffer", value, "useSelKeySingleShot", value);
        !stored)
        ShowMessageBox(stored.error, kCaptionError);
}

} // namespace kantrel::ui
