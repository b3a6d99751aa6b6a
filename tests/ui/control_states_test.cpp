// The enabled state of the operator controls after each event of the system.

#include <QLabel>
#include <QPushButton>

#include "core/link_flags.h"
#include "form_fixture.h"
#include "measure/meas_data.h"
#include "support/measurement_fixture.h"

namespace kantrel::test {
namespace {

const std::vector<std::string> kOperatorControls = {"clrPeak",
                                                    "Zero",
                                                    "ClrLast",
                                                    "ClrAll",
                                                    "ButtonSingleShot",
                                                    "CheckBoxAutoClrPeak",
                                                    "Start",
                                                    "Stop",
                                                    "loadFromFile",
                                                    "saveToFile",
                                                    "ButtonExcel",
                                                    "ButtonZoom",
                                                    "ComboBoxSampleRate",
                                                    "Language",
                                                    "RadioGroupGraficMode",
                                                    "CheckBPeak1msUp",
                                                    "CheckBPeakfilteredUp",
                                                    "CheckBoxMean",
                                                    "CheckBPeakfilteredDn",
                                                    "CheckBPeak1msLo"};

const std::vector<std::string> kChartChoice = {"RadioGroupGraficMode", "CheckBPeak1msUp",
                                               "CheckBPeakfilteredUp", "CheckBoxMean",
                                               "CheckBPeakfilteredDn", "CheckBPeak1msLo"};

std::vector<std::string> With(std::vector<std::string> names, const std::vector<std::string>& more) {
    names.insert(names.end(), more.begin(), more.end());
    std::vector<std::string> ordered;
    for (const std::string& n : kOperatorControls) {
        if (std::find(names.begin(), names.end(), n) != names.end())
            ordered.push_back(n);
    }
    return ordered;
}

class ControlStatesTest : public FormTest {
protected:
    std::vector<std::string> Enabled() const { return EnabledOf(*form, kOperatorControls); }
};

TEST_F(ControlStatesTest, CreationStartUpAndInstrumentNotFound) {
    CreateForm();
    EXPECT_EQ(Enabled(),
              With({"CheckBoxAutoClrPeak", "loadFromFile", "ButtonZoom", "ComboBoxSampleRate", "Language"},
                   kChartChoice));
    form->StartupState();
    EXPECT_EQ(Enabled(), With({"ClrAll"}, kChartChoice));
    form->InstrumentNotFoundState();
    EXPECT_EQ(Enabled(),
              With({"ClrAll", "loadFromFile", "ButtonExcel", "ButtonZoom", "ComboBoxSampleRate", "Language"},
                   kChartChoice));
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("Tensolog not found"));
}

TEST_F(ControlStatesTest, StartUpWithoutInstrumentEndsInNotFound) {
    StartForm();
    EXPECT_EQ(Enabled(),
              With({"ClrAll", "loadFromFile", "ButtonExcel", "ButtonZoom", "ComboBoxSampleRate", "Language"},
                   kChartChoice));
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("Tensolog not found"));
}

TEST_F(ControlStatesTest, OpenedThenReadoutDoneIsTheReadyState) {
    CreateForm();
    form->StartupState();
    form->SetTensologKeys(true); // opened
    const std::vector<std::string> keys = {"ClrLast", "ClrAll", "ButtonSingleShot",   "Start",
                                           "clrPeak", "Zero",   "CheckBoxAutoClrPeak"};
    EXPECT_EQ(Enabled(), With(keys, kChartChoice));
    form->ReadoutDoneState();
    EXPECT_EQ(Enabled(), With(With(keys, kChartChoice),
                              {"loadFromFile", "ButtonZoom", "ComboBoxSampleRate", "Language"}));
}

const std::vector<std::string> kReady =
    With({"ClrLast", "ClrAll", "ButtonSingleShot", "Start", "clrPeak", "Zero", "CheckBoxAutoClrPeak",
          "loadFromFile", "ButtonZoom", "ComboBoxSampleRate", "Language"},
         kChartChoice);

TEST_F(ControlStatesTest, SingleShotThenClearAll) {
    StartForm();
    AttachInstrument();
    ASSERT_EQ(Enabled(), With(kReady, {"ButtonExcel"})); // not found left "Clipboard + Excel" on
    form->ButtonExcel->setEnabled(false);
    form->ButtonSingleShot->click();
    std::vector<std::string> afterShot;
    for (const auto& n : With(kReady, {"ButtonExcel", "saveToFile"}))
        if (std::find(kChartChoice.begin(), kChartChoice.end(), n) == kChartChoice.end())
            afterShot.push_back(n);
    EXPECT_EQ(Enabled(), afterShot);
    form->ClrAll->click();
    EXPECT_EQ(Enabled(), kReady);
}

TEST_F(ControlStatesTest, AutomaticRecordingStartStopAndTheRefreshAfterIt) {
    StartForm();
    AttachInstrument();
    form->Start->click();
    EXPECT_EQ(Enabled(), With({"clrPeak", "Zero", "CheckBoxAutoClrPeak", "Stop", "ButtonZoom"}, {}));
    form->TimerGetMeasTimer();
    form->Stop->click();
    EXPECT_EQ(Enabled(), With({"clrPeak", "Zero", "CheckBoxAutoClrPeak", "ButtonZoom"}, {}));
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("BUSY by Calculation"));
    form->TimerGetMeasTimer();
    // The chart-choice controls stay off until CLR ALL.
    EXPECT_EQ(Enabled(), With({"clrPeak", "Zero", "CheckBoxAutoClrPeak", "ButtonZoom", "saveToFile",
                               "loadFromFile", "ButtonSingleShot", "Start", "ClrLast", "ClrAll",
                               "ComboBoxSampleRate", "Language", "ButtonExcel"},
                              {}));
    EXPECT_EQ(form->ErrorString->text(), QString());
    form->ClrAll->click();
    EXPECT_EQ(Enabled(),
              With({"clrPeak", "Zero", "CheckBoxAutoClrPeak", "ButtonZoom", "loadFromFile",
                    "ButtonSingleShot", "Start", "ClrLast", "ClrAll", "ComboBoxSampleRate", "Language"},
                   kChartChoice));
}

TEST_F(ControlStatesTest, LastClearedOnlyWhenNoDataSetIsLeft) {
    StartForm();
    AttachInstrument();
    for (int shot = 0; shot < 2; ++shot) {
        form->ButtonSingleShot->click();
        FeedAndTick(1, 10);
    }
    ASSERT_EQ(measData->GetDataListPos(), 1);
    form->ClrLast->click();
    EXPECT_TRUE(form->saveToFile->isEnabled());
    EXPECT_TRUE(form->ButtonExcel->isEnabled());
    form->ClrLast->click();
    EXPECT_FALSE(form->saveToFile->isEnabled());
    EXPECT_FALSE(form->ButtonExcel->isEnabled());
}

TEST_F(ControlStatesTest, FileLoadedAfterClearAll) {
    StartForm();
    AttachInstrument();
    form->ClrAllClick();
    form->FileLoadedState();
    std::vector<std::string> expected;
    for (const auto& n : With(kReady, {"ButtonExcel"}))
        if (n != "RadioGroupGraficMode")
            expected.push_back(n);
    EXPECT_EQ(Enabled(), expected);
}

TEST_F(ControlStatesTest, ConnectionLostDisablesTheRecordingKeys) {
    StartForm();
    AttachInstrument();
    PushSample(*measData, '5', 0);
    form->TimerGetMeasTimer();
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("No connection to Device"));
    for (const char* key :
         {"ClrLast", "ClrAll", "ButtonSingleShot", "Start", "clrPeak", "Zero", "CheckBoxAutoClrPeak"}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(form->findChild<QWidget*>(QString::fromLatin1(key))->isEnabled());
    }
}

} // namespace
} // namespace kantrel::test
