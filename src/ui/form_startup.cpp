// TForm1: the start-up sequence, the connection to the instrument and its shut-down,
// and the acquisition settings (resolution, sample rate).

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <stdexcept>

#include "core/link_flags.h"
#include "device/connection.h"
#include "device/device_parameters.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "ui/data_set_chart.h"
#include "ui/form1.h"
#include "ui/form_fonts.h"
#include "ui/qt_text.h"

namespace kantrel::ui {

QString TForm1::GetVersionText() {
    return QStringLiteral(KANTREL_VERSION);
}

void TForm1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Safely([this] { FormShow(); });
}

void TForm1::closeEvent(QCloseEvent* event) {
    Safely([this] { FormClose(); });
    event->accept();
}

void TForm1::FormShow() {
    if (formShowRan_)
        return;
    formShowRan_ = true;

    const std::string localeSeparator = regional().DecimalSeparator();
    const PrepareResult prepared = PrepareConfigFolder();
    if (prepared.status == PrepareResult::Status::CannotCreate)
        throw std::runtime_error(prepared.error);
    if (prepared.status == PrepareResult::Status::NoAppData) {
        ShowMessageBox(kAppDataNotFound, kCaptionError);
    } else {
        ReadSettings(localeSeparator);
        timerZeroSingleMs = settings.TimerClrPeakMs;
        sampleRateIndex = ClampSampleRateIndex(settings.SampleRate);
        ApplyWindowSettings();
        Init_USB_DeviceClick();
        ReadLanguageChoice();
        ComboBoxSampleRate->setCurrentIndex(sampleRateIndex);
        if (!FillLanguageList())
            return;
        InitSeriesType();
        if (settings.showMeanCompanyTrumak) {
            for (QLabel* label : {Label7, TrumakCompany, Label13, Label14})
                label->show();
            meas300->setFont(CourierLineFont(32));
            meas300->adjustSize();
            SetChartGeometry(QRect(375, Chart1->y(), 400, Chart1->height()));
        }
        TranslateComponents();
    }
    setWindowTitle(windowTitle() + QStringLiteral(" (Version: ") + GetVersionText() + QStringLiteral(")"));
    startupDone = true;
}

// The settings that shape the window, before the instrument is opened.
void TForm1::ApplyWindowSettings() {
    if (settings.ClrPeakAfterSingleShot)
        CheckBoxAutoClrPeak->setChecked(true);
    CheckBoxAutoClrPeak->setVisible(settings.ShowClrPeakCheckBox);
    if (settings.ShowClrPeakCheckBox)
        ButtonSingleShot->resize(ButtonSingleShot->width(), 30);

    StartupState();

    graficModeItems[static_cast<std::size_t>(settings.graficMode)]->setChecked(true);
    setXAxis();

    const struct {
        int slot;
        bool show;
    } series[] = {{kSlotMax, settings.showPeakUp},
                  {kSlotMin, settings.showPeakDn},
                  {kSlotMaxAvr, settings.showPeakUpFiltered},
                  {kSlotMinAvr, settings.showPeakDnFiltered},
                  {kSlotValue, settings.showMean}};
    for (const auto& s : series) {
        SeriesCheckBox(s.slot)->setChecked(s.show);
        SeriesValueLabel(s.slot)->setVisible(s.show);
    }

    if (settings.Resolution != 0)
        CheckBoxHiRes->show();

    if (settings.ShowKeyBufCheckBox) {
        CheckBoxToKeyBuf->setChecked(settings.WriteToKeyBuffer);
        CheckBoxToKeyBuf->move(CheckBoxToKeyBuf->x(), 100);
        CheckBoxToKeyBuf->show();
        const struct {
            QLabel* caption;
            QLabel* value;
            int top;
        } moved[] = {{Label2, Label1, 120},
                     {Label9, SerialDev, 140},
                     {Label11, SerialSens, 160},
                     {Label4, NomVal, 180},
                     {Label12, State, 200}};
        for (const auto& m : moved) {
            m.caption->move(m.caption->x(), m.top);
            m.value->move(m.value->x(), m.top);
        }
    }
}

void TForm1::Init_USB_DeviceClick() {
    interface_offClick();
    const ConnectResult result = ConnectInstrument();
    if (result.opened) {
        TimerInit2->Start(kTimerInit2Ms);
        SetTensologKeys(true);
    } else {
        InstrumentNotFoundState();
    }
}

void TForm1::interface_offClick() {
    // The flag goes first, so that the workers' transfers end quickly.
    instrumentConnected.store(false);
    TimerGetMeas->Stop();
    DisconnectInstrument();
}

void TForm1::FormClose() {
    if (formCloseRan_)
        return;
    formCloseRan_ = true;
    // The threads are gone before the store they write into.
    interface_offClick();
    DestroyMeasData();
    Chart1->ReleaseSeries();
    // Nothing is left for the window's own timers to do.
    TimerInit2->Stop();
    TimerZeroSingle->Stop();
}

void TForm1::TimerInit2Timer() {
    if (!measData || !measData->IsReadoutDone())
        return;
    TimerInit2->Stop();
    TimerGetMeas->Start(kTimerGetMeasMs);
    const Identification identification = ReadIdentification();
    SetLabelText(SerialSens, Q(identification.sensorSerial));
    SetLabelText(SerialDev, Q(identification.deviceSerial));
    // The formatted value begins with its sign place; the label drops that character.
    const QString nominal = Q(identification.nominalText);
    SetLabelText(NomVal, nominal.mid(nominal.isEmpty() ? 0 : (nominal.at(0).isHighSurrogate() ? 2 : 1)));
}

void TForm1::CheckBoxHiResClick() {
    hiResolution = CheckBoxHiRes->isChecked();
}

void TForm1::ComboBoxSampleRateChange(int index) {
    if (index < 0 || index >= kSampleRateCount)
        return;
    if (!SettingsFilePath()) {
        ShowMessageBox(kAppDataNotFound, kCaptionError);
        return;
    }
    sampleRateIndex = index;
    settings.SampleRate = index;
    if (const StoreResult stored = StoreSetting("SampleRate", std::to_string(index)); !stored)
        ShowMessageBox(stored.error, kCaptionError);
    if (instrumentConnected.load() && measData)
        measData->SetAveragingCount(AveragingCountFor(index));
}

void TForm1::clrPeakClick() {
    kantrel::clrPeakClick();
}

void TForm1::ZeroClick() {
    kantrel::ZeroClick();
}

} // namespace kantrel::ui
