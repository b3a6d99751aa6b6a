// TForm1: saving and loading data files, the clipboard hand-off to the spreadsheet and the
// language of the window. The file formats, the language file and the program start live
// in the core; these handlers ask the operator, show the results and fill the window.

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

#include "device/device_parameters.h"
#include "files/data_file_reader.h"
#include "files/data_file_writer.h"
#include "files/spreadsheet.h"
#include "measure/meas_data.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

namespace {

ListCaptions CaptionsOf(const DataSetListModel& list) {
    ListCaptions captions;
    for (int column = 0; column < kListColumnCount; ++column)
        captions[static_cast<std::size_t>(column)] = Std(list.Caption(column));
    return captions;
}

// The lines of the file and the clipboard. Without a store (a start-up that ended before
// the instrument was opened) there are no data sets, only the header.
std::vector<std::string> DataSetLines(const DataSetListModel& list) {
    const ListCaptions captions = CaptionsOf(list);
    if (!measData)
        return {BuildHeaderLine(captions, sampleRateIndex)};
    return BuildDataSetLines(captions, *measData, sampleRateIndex);
}

QString Translated(std::string_view text) {
    return Q(Translate(text));
}

// Exact class match: a subclass of a translated kind is left alone.
template <typename T> T* Exactly(QObject* object) {
    return object->metaObject() == &T::staticMetaObject ? static_cast<T*>(object) : nullptr;
}

// The wait cursor while a file is read and shown: a large file takes seconds, and the
// window cannot repaint until the load is done.
class BusyCursor {
public:
    BusyCursor() {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        // The cursor and the status line show now, before the window is occupied.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Captions, list lines, table rows and chart points of a file that had a header.
void ShowLoadedContent(TForm1& form, const DataFileContent& content) {
    for (int column = 1; column < kListColumnCount; ++column)
        form.listModel->SetCaption(column, Q(content.captions[static_cast<std::size_t>(column)]));
    form.Chart1->SetLeftAxisTitle(Q(content.ValueAxisTitle()));

    // Without a store the rows are only listed and drawn.
    if (measData)
        ApplyToStore(content, *measData);

    form.ListView1->setUpdatesEnabled(false);
    form.listModel->BeginBatch();
    for (const LoadedRow& row : content.rows) {
        QStringList cells{Q(row.numberText)};
        for (const std::string& item : row.subItems)
            cells.append(Q(item));
        form.listModel->AppendLine(std::move(cells));
    }
    form.listModel->EndBatch();
    form.ListView1->setUpdatesEnabled(true);
    if (!content.rows.empty())
        form.dataLoadedFromFile = true;

    for (const LoadedPoint& point : content.points)
        form.Chart1->AddPoint(point.slot, point.x, point.y);

    // A conversion error keeps the rows read so far but ends the load here.
    if (!content.Completed())
        return;
    form.ListView1->doItemsLayout();
    form.ScrollListToEnd();
    form.ButtonZoomClick();
    form.FileLoadedState();
}

} // namespace

void TForm1::saveToFileClick() {
    const QString path = dialogs().SaveFileName(QString(), QString(), QString());
    if (path.isEmpty())
        return;
    const std::vector<std::string> lines = DataSetLines(*listModel);
    if (lines.size() < 2) {
        ShowMessageBox(kNoValidDataSets, kCaptionError);
        return;
    }
    if (const SaveResult saved = SaveDataSetLines(Std(path), lines); !saved) {
        ShowMessageBox(saved.error, kCaptionError);
        return;
    }
    dataSetSink().DataSetsSaved();
}

void TForm1::loadFromFileClick() {
    SetStatusText(Translated("Busy, please wait"));
    const QString path = dialogs().OpenFileName(QString(), QString(), QString());
    if (path.isEmpty()) {
        SetStatusText(QString());
        return;
    }
    DataFileContent content;
    {
        const BusyCursor busy;
        // The previous data sets go before the file is opened, also when it cannot be read.
        ClrAllClick();
        if (measData)
            measData->ClearDataList();

        DataFileReadOptions options;
        options.graficMode = settings.graficMode;
        for (int slot = 0; slot < kSeriesSlots; ++slot)
            options.seriesChecked[static_cast<std::size_t>(slot)] = IsSeriesChecked(slot);
        content = LoadDataFile(Std(path), options);
        if (content.HasHeader())
            ShowLoadedContent(*this, content);
    }
    for (const LoadMessage& message : LoadMessages(content))
        ShowMessageBox(message.text, message.caption);
    SetStatusText(QString());
}

void TForm1::ButtonExcelClick() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard) {
        ShowMessageBox("The data sets could not be placed on the clipboard.", kCaptionError);
        return;
    }
    const std::vector<std::string> lines = DataSetLines(*listModel);
    clipboard->setText(Q(JoinLinesCrLf(lines)));
    if (lines.size() > 1)
        dataSetSink().DataSetsSaved();
    StartSpreadsheet();
}

void TForm1::LanguageChange(int index) {
    const StoreResult stored = StoreLanguageChoice(index);
    if (stored.status == StoreResult::Status::NoAppData) {
        ShowMessageBox(kAppDataNotFound, kCaptionError);
        return;
    }
    if (!stored) {
        // Nothing was stored: a restart would bring back the old language.
        ShowMessageBox(stored.error, kCaptionError);
        return;
    }
    ShowMessageBox(kLanguageChanged, kCaptionInformation);
    close();
}

void TForm1::ReadLanguageChoice() {
    if (!kantrel::ReadLanguageChoice())
        ShowMessageBox(kAppDataNotFound, kCaptionError);
}

bool TForm1::FillLanguageList() {
    const LanguageList list = ReadLanguageList();
    Language->clear();
    if (list.status == LanguageList::Status::Unreadable) {
        ShowMessageBox(kLanguageFileError, kCaptionWarning);
        return false;
    }
    for (const std::string& name : list.names)
        Language->addItem(Q(name));
    // A choice without its language selects nothing.
    Language->setCurrentIndex(languageIndex >= 0 && languageIndex < Language->count() ? languageIndex : -1);
    return true;
}

void TForm1::TranslateComponents() {
    for (auto it = components_.crbegin(); it != components_.crend(); ++it) {
        QObject* component = it->data();
        if (component == nullptr)
            continue;
        if (QLabel* label = Exactly<QLabel>(component)) {
            // An image label keeps its picture: setting a text would replace it.
            if (label->pixmap().isNull())
                SetLabelText(label, Translated(Std(label->text())));
        } else if (QPushButton* button = Exactly<QPushButton>(component)) {
            button->setText(Translated(Std(button->text())));
        } else if (QCheckBox* box = Exactly<QCheckBox>(component)) {
            box->setText(Translated(Std(box->text())));
        } else if (component == RadioGroupGraficMode) {
            RadioGroupGraficMode->setTitle(Translated(Std(RadioGroupGraficMode->title())));
            for (QRadioButton* item : graficModeItems)
                item->setText(Translated(Std(item->text())));
        } else if (component == Chart1) {
            for (int slot = 0; slot < DataSetChart::kSlots; ++slot)
                if (QCPGraph* series = Chart1->Series(slot))
                    series->setName(Translated(Std(series->name())));
        }
    }
}

} // namespace kantrel::ui
