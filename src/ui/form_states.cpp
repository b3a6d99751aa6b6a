// TForm1: which controls are enabled in each state of the system. Each function applies
// its changes in the order the events list them; a control not named keeps its state.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>

#include "ui/form1.h"

namespace kantrel::ui {

void TForm1::SetTensologKeys(bool enabled) {
    for (QWidget* key : {static_cast<QWidget*>(ClrLast), static_cast<QWidget*>(ClrAll),
                         static_cast<QWidget*>(ButtonSingleShot), static_cast<QWidget*>(Start),
                         static_cast<QWidget*>(clrPeak), static_cast<QWidget*>(Zero),
                         static_cast<QWidget*>(CheckBoxAutoClrPeak)})
        key->setEnabled(enabled);
}

void TForm1::SetGraficMode(bool enabled) {
    for (QWidget* control :
         {static_cast<QWidget*>(RadioGroupGraficMode), static_cast<QWidget*>(CheckBPeak1msUp),
          static_cast<QWidget*>(CheckBPeakfilteredUp), static_cast<QWidget*>(CheckBoxMean),
          static_cast<QWidget*>(CheckBPeakfilteredDn), static_cast<QWidget*>(CheckBPeak1msLo)})
        control->setEnabled(enabled);
}

// Start-up, before the instrument is opened.
void TForm1::StartupState() {
    CheckBoxAutoClrPeak->setEnabled(false);
    saveToFile->setEnabled(false);
    loadFromFile->setEnabled(false);
    SetTensologKeys(false);
    ClrAll->setEnabled(true);
    ButtonZoom->setEnabled(false);
    ComboBoxSampleRate->setEnabled(false);
    Language->setEnabled(false);
    ButtonExcel->setEnabled(false);
}

// No instrument: the program serves to load, view and export data files.
void TForm1::InstrumentNotFoundState() {
    SetStatusText(QStringLiteral("Tensolog not found"));
    loadFromFile->setEnabled(true);
    Stop->setEnabled(false);
    CheckBoxAutoClrPeak->setEnabled(false);
    ButtonZoom->setEnabled(true);
    ComboBoxSampleRate->setEnabled(true);
    Language->setEnabled(true);
    saveToFile->setEnabled(false);
    ButtonExcel->setEnabled(true);
}

// The instrument's parameters have been read (the recording keys come separately).
void TForm1::ReadoutDoneState() {
    loadFromFile->setEnabled(true);
    CheckBoxAutoClrPeak->setEnabled(true);
    ButtonZoom->setEnabled(true);
    ComboBoxSampleRate->setEnabled(true);
    Language->setEnabled(true);
}

// The refresh tick that finds an automatic recording ended.
void TForm1::RecordingEndedState() {
    saveToFile->setEnabled(true);
    loadFromFile->setEnabled(true);
    ButtonSingleShot->setEnabled(true);
    Start->setEnabled(true);
    Stop->setEnabled(false);
    ClrLast->setEnabled(true);
    ClrAll->setEnabled(true);
    ComboBoxSampleRate->setEnabled(true);
    Language->setEnabled(true);
    ButtonExcel->setEnabled(true);
}

// A data file has been loaded; the load itself has already cleared the data sets.
void TForm1::FileLoadedState() {
    RadioGroupGraficMode->setEnabled(false);
    ButtonExcel->setEnabled(true);
}

} // namespace kantrel::ui
