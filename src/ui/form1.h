#pragma once

// TForm1, the main window: every control at its fixed place, the control states, the
// start-up sequence, the live refresh, the list, the chart and the recording controls.
// The member functions are spread over form_*.cpp by job.

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>
#include <array>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "core/ports.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTreeView;

namespace kantrel::ui {

class DataSetChart;
class DataSetListModel;
class StatisticsFeature;

// The five series slots of the chart, each with its check box and value label.
enum SeriesSlot { kSlotValue = 0, kSlotMin = 1, kSlotMax = 2, kSlotMinAvr = 3, kSlotMaxAvr = 4 };
inline constexpr int kSeriesSlots = 5;

class TForm1 : public QWidget {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // --- Controls (named as the operator's window names them) ---
    QLabel* Image1 = nullptr;
    QLabel* Image3 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* ErrorString = nullptr;
    QComboBox* Language = nullptr;
    QComboBox* ComboBoxSampleRate = nullptr;
    QCheckBox* CheckBoxHiRes = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label1 = nullptr;
    QCheckBox* CheckBoxToKeyBuf = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* SerialDev = nullptr;
    QLabel* Label11 = nullptr;
    QLabel* SerialSens = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* NomVal = nullptr;
    QLabel* Label12 = nullptr;
    QLabel* State = nullptr;
    QTreeView* ListView1 = nullptr;
    QPushButton* clrPeak = nullptr;
    QPushButton* Zero = nullptr;
    QPushButton* ClrLast = nullptr;
    QPushButton* ClrAll = nullptr;
    QPushButton* ButtonSingleShot = nullptr;
    QCheckBox* CheckBoxAutoClrPeak = nullptr;
    QPushButton* Start = nullptr;
    QPushButton* Stop = nullptr;
    QPushButton* loadFromFile = nullptr;
    QPushButton* saveToFile = nullptr;
    QPushButton* ButtonExcel = nullptr;
    QPushButton* ButtonZoom = nullptr;
    QCheckBox* CheckBPeak1msUp = nullptr;
    QLabel* pkMax = nullptr;
    QCheckBox* CheckBPeakfilteredUp = nullptr;
    QLabel* pkMaxAvr = nullptr;
    QCheckBox* CheckBoxMean = nullptr;
    QLabel* meas300 = nullptr;
    QCheckBox* CheckBPeakfilteredDn = nullptr;
    QLabel* pkMinAvr = nullptr;
    QCheckBox* CheckBPeak1msLo = nullptr;
    QLabel* pkMin = nullptr;
    QLabel* Label13 = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* TrumakCompany = nullptr;
    QLabel* LabelOverflow = nullptr;
    DataSetChart* Chart1 = nullptr;
    QGroupBox* RadioGroupGraficMode = nullptr;
    std::array<QRadioButton*, 3> graficModeItems{};

    DataSetListModel* listModel = nullptr;

    // Statistics, limits and the report, reached through the context menus and F9.
    std::unique_ptr<StatisticsFeature> statistics;

    // --- Timers (through the timer port, so that tests can tick them by hand) ---
    std::unique_ptr<MainThreadTimer> TimerInit2;      // 10 ms
    std::unique_ptr<MainThreadTimer> TimerGetMeas;    // 100 ms
    std::unique_ptr<MainThreadTimer> TimerZeroSingle; // TimerClrPeakMs
    static constexpr int kTimerInit2Ms = 10;
    static constexpr int kTimerGetMeasMs = 100;
    int timerZeroSingleMs = 250;

    // --- State of the window ---
    bool startupDone = false;
    bool dataLoadedFromFile = false;
    double firstDataSetTime = 0.0;

    // The series check box and value label of a chart slot.
    QCheckBox* SeriesCheckBox(int slot) const;
    QLabel* SeriesValueLabel(int slot) const;
    bool IsSeriesChecked(int slot) const;

    // Sets a label's text and lets the label follow its size, as labels here do.
    static void SetLabelText(QLabel* label, const QString& text);
    // The status line; repainted at once, so that it shows during long operations too.
    void SetStatusText(const QString& text);

    // Runs a handler; an error raised inside is shown in the error box and the program
    // goes on.
    template <typename F> static void Safely(F&& handler);
    static void ShowHandlerError(const char* what);
    // A modal box with an OK button (through the dialogs of dialogs.h).
    static void ShowMessageBox(std::string_view text, std::string_view caption);
    // The same box for the refresh tick, which does not wait for it (message_box_queue.h).
    static void OpenMessageBox(std::string_view text, std::string_view caption);

public slots:
    // Start-up and connection (form_startup.cpp).
    void FormShow();
    void FormClose();
    void Init_USB_DeviceClick();
    void interface_offClick();
    void TimerInit2Timer();
    void CheckBoxHiResClick();
    void ComboBoxSampleRateChange(int index);
    void clrPeakClick();
    void ZeroClick();

    // Control states (form_states.cpp).
    void SetTensologKeys(bool enabled);
    void SetGraficMode(bool enabled);
    void StartupState();
    void InstrumentNotFoundState();
    void ReadoutDoneState();
    void RecordingEndedState();
    void FileLoadedState();

    // Live refresh and list (form_refresh.cpp).
    void TimerGetMeasTimer();
    void BuildHeader();
    void AddDataLine(int line, int row);
    void AddBlankLine();
    // A line and the chart points for every data set stored since the last listing.
    void ListNewDataSets();
    void RebuildList();
    // The list and the chart afresh from the table, oldest data set first.
    void RelistDataSets(bool blankLineBelow);

    // Chart (form_chart.cpp).
    void InitSeriesType();
    void setXAxis();
    void ButtonZoomClick();
    void RadioGroupGraficModeClick(int index);
    void CheckBPeak1msUpClick();
    void CheckBPeakfilteredUpClick();
    void CheckBoxMeanClick();
    void CheckBPeakfilteredDnClick();
    void CheckBPeak1msLoClick();

    // Recording controls (form_recording.cpp).
    void ButtonSingleShotClick();
    void StartClick();
    void StopClick();
    void ClrAllClick();
    void ClrLastClick();
    void TimerZeroSingleTimer();
    void CheckBoxAutoClrPeakClick();
    void CheckBoxToKeyBufClick();

    // Files, clipboard and language (form_files.cpp). The save is virtual: it is also
    // the save after a lost connection, which tests observe.
    virtual void saveToFileClick();
    void loadFromFileClick();
    void ButtonExcelClick();
    void LanguageChange(int index);
    void ReadLanguageChoice();
    bool FillLanguageList();
    void TranslateComponents();

signals:
    // The end of each display refresh (TimerGetMeasTimer).
    void DisplayRefreshed();

public:
    // Version of the program, "a.b.c.d".
    static QString GetVersionText();
    // The data-set counter text "n / size" of the current store.
    void WriteDataSetCounter();
    // Brings the last line of the list into view.
    void ScrollListToEnd();
    // Plots one listed data set (line number, table row) in the chart.
    void PlotDataSet(int line, int row);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreateInfoLabels();
    void CreateButtons();
    void CreateSeriesControls();
    void CreateChartAndModeGroup();
    void SetTabOrder();
    void ConnectHandlers();
    void CreateTimers();
    void ApplyWindowSettings();
    void StoreSeriesCheckBox(int slot, const char* key, bool& setting);
    void ApplyAnchors();

public:
    // Places Chart1 anew; it keeps following the window edges from there.
    void SetChartGeometry(const QRect& geometry);

private:
    bool formShowRan_ = false;
    bool formCloseRan_ = false;
    // Geometry of the anchored controls at the design client size 800 x 562.
    QRect chartDesign_;
    QRect modeGroupDesign_;
    // The window's controls in the order of their creation: children() changes its order
    // when a control is lowered beneath the others.
    QList<QPointer<QObject>> components_;
};

template <typename F> void TForm1::Safely(F&& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ShowHandlerError(e.what());
    } catch (...) {
        ShowHandlerError("");
    }
}

} // namespace kantrel::ui
