// The start-up sequence with a missing, a default and a customised settings file, and
// its three early ends; chart-mode changes before and after it.

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "device/device_parameters.h"
#include "form_fixture.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/test_environment.h"
#include "ui/data_set_chart.h"
#include "ui/pattern_ticker.h"

namespace kantrel::test {
namespace {

const QString kVersionedTitle = QStringLiteral("KANTREL 731 USB (Version: " KANTREL_VERSION ")");

class StartupTest : public FormTest {};

void ExpectDefaultWindow(ui::TForm1& f) {
    EXPECT_TRUE(f.startupDone);
    EXPECT_EQ(f.windowTitle(), kVersionedTitle);
    EXPECT_TRUE(f.graficModeItems[0]->isChecked());
    EXPECT_FALSE(f.Chart1->UsesLineSeries());
    ASSERT_TRUE(f.Chart1->HasSeries());
    EXPECT_EQ(f.Chart1->xAxis->label(), QStringLiteral("[n] = 1"));
    EXPECT_TRUE(f.CheckBPeak1msUp->isChecked());
    EXPECT_TRUE(f.CheckBPeak1msLo->isChecked());
    EXPECT_TRUE(f.CheckBoxMean->isChecked());
    EXPECT_FALSE(f.CheckBPeakfilteredUp->isChecked());
    EXPECT_FALSE(f.CheckBPeakfilteredDn->isChecked());
    EXPECT_FALSE(f.pkMax->isHidden());
    EXPECT_FALSE(f.pkMin->isHidden());
    EXPECT_FALSE(f.meas300->isHidden());
    EXPECT_TRUE(f.pkMaxAvr->isHidden());
    EXPECT_TRUE(f.pkMinAvr->isHidden());
    EXPECT_TRUE(f.CheckBoxHiRes->isHidden());
    EXPECT_TRUE(f.CheckBoxToKeyBuf->isHidden());
    EXPECT_TRUE(f.CheckBoxAutoClrPeak->isHidden());
    EXPECT_EQ(f.ButtonSingleShot->height(), 50);
    EXPECT_EQ(f.ComboBoxSampleRate->currentIndex(), 6);
    EXPECT_EQ(sampleRateIndex, 6);
    // English plus the languages of the default language file copied at the first start.
    ASSERT_EQ(f.Language->count(), 2);
    EXPECT_EQ(f.Language->itemText(0), QStringLiteral("English"));
    EXPECT_EQ(f.Language->itemText(1), QStringLiteral("Deutsch"));
    EXPECT_EQ(f.Language->currentIndex(), 0);
    EXPECT_TRUE(f.Label7->isHidden());
    EXPECT_TRUE(f.TrumakCompany->isHidden());
    EXPECT_EQ(f.Chart1->geometry(), QRect(308, 278, 484, 270));
    EXPECT_EQ(f.State->pos(), QPoint(120, 197));
}

TEST_F(StartupTest, MissingSettingsFileGivesTheDefaultsAndWritesNothing) {
    ExpectDefaultWindow(StartForm());
    EXPECT_FALSE(std::filesystem::exists(IsolatedEnvironment::Root() + "/work/731config.ini"));
    EXPECT_TRUE(boxes.messages.empty());
    EXPECT_TRUE(boxes.errors.empty());
    // The per-user folder was prepared on the way.
    EXPECT_TRUE(
        std::filesystem::is_directory(IsolatedEnvironment::Root() + "/home/.config/Marvix/Kantrel 731 USB"));
}

TEST_F(StartupTest, DefaultSettingsFileIsAppliedAndLeftUnchanged) {
    const std::string defaults = ReadFileBytes(std::string(KANTREL_SOURCE_DIR) + "/data/731config.ini");
    ASSERT_FALSE(defaults.empty());
    WriteSettings(defaults);
    ExpectDefaultWindow(StartForm());
    EXPECT_EQ(ReadSettingsFile(), defaults);
}

TEST_F(StartupTest, CustomisedSettingsShapeTheWindow) {
    WriteSettings("[Config]\nSampleRate=3\nResolution=1\ngraficMode=2\nshowPeakUp=0\nshowPeakDn=1\n"
                  "showPeakUpFiltered=0\nshowPeakDnFiltered=1\nshowMean=0\nshowMeanCompanyTrumak=1\n"
                  "ClrPeakAfterSingleShot=1\nTimerClrPeakMs=400\nShowClrPeakCheckBox=1\n"
                  "WriteToKeyBuffer=1\nShowKeyBufCheckBox=1\n");
    ui::TForm1& f = StartForm();
    EXPECT_TRUE(f.startupDone);
    EXPECT_EQ(f.windowTitle(), kVersionedTitle);
    EXPECT_EQ(sampleRateIndex, 3);
    EXPECT_EQ(f.ComboBoxSampleRate->currentIndex(), 3);
    EXPECT_FALSE(f.CheckBoxHiRes->isHidden());

    EXPECT_TRUE(f.graficModeItems[2]->isChecked());
    EXPECT_TRUE(f.Chart1->UsesLineSeries());
    EXPECT_EQ(f.Chart1->xAxis->label(), QStringLiteral("[t] = s"));
    EXPECT_EQ(f.Chart1->BottomTicker().Pattern(), QStringLiteral("0.000"));

    const struct {
        QCheckBox* box;
        QLabel* label;
        bool on;
    } series[] = {{f.CheckBPeak1msUp, f.pkMax, false},
                  {f.CheckBPeak1msLo, f.pkMin, true},
                  {f.CheckBPeakfilteredUp, f.pkMaxAvr, false},
                  {f.CheckBPeakfilteredDn, f.pkMinAvr, true},
                  {f.CheckBoxMean, f.meas300, false}};
    for (const auto& s : series) {
        SCOPED_TRACE(s.box->objectName().toStdString());
        EXPECT_EQ(s.box->isChecked(), s.on);
        EXPECT_EQ(!s.label->isHidden(), s.on);
    }

    EXPECT_FALSE(f.CheckBoxAutoClrPeak->isHidden());
    EXPECT_TRUE(f.CheckBoxAutoClrPeak->isChecked());
    EXPECT_EQ(f.ButtonSingleShot->height(), 30);
    EXPECT_EQ(f.timerZeroSingleMs, 400);

    EXPECT_FALSE(f.CheckBoxToKeyBuf->isHidden());
    EXPECT_TRUE(f.CheckBoxToKeyBuf->isChecked());
    EXPECT_EQ(f.CheckBoxToKeyBuf->pos(), QPoint(8, 100));
    const struct {
        QLabel* label;
        QPoint at;
    } moved[] = {{f.Label1, {120, 120}}, {f.Label2, {8, 120}},       {f.SerialDev, {120, 140}},
                 {f.Label9, {8, 140}},   {f.SerialSens, {120, 160}}, {f.Label11, {8, 160}},
                 {f.NomVal, {120, 180}}, {f.Label4, {8, 180}},       {f.State, {120, 200}},
                 {f.Label12, {8, 200}}};
    for (const auto& m : moved) {
        SCOPED_TRACE(m.label->objectName().toStdString());
        EXPECT_EQ(m.label->pos(), m.at);
    }
    // The key-buffer box switches the instrument key's capture on with it.
    EXPECT_EQ(settings.useSelKeySingleShot, 1);
    const std::string file = ReadSettingsFile();
    EXPECT_NE(file.find("useSelKeySingleShot=1"), std::string::npos);
    EXPECT_NE(file.find("WriteToKeyBuffer=1"), std::string::npos);
    EXPECT_NE(file.find("ClrPeakAfterSingleShot=1"), std::string::npos);

    for (QLabel* label : {f.Label7, f.TrumakCompany, f.Label13, f.Label14})
        EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(f.meas300->font(), f.pkMax->font()); // 32 px, as the other value labels
    EXPECT_EQ(f.Chart1->geometry(), QRect(375, 278, 400, 270));
}

TEST_F(StartupTest, NarrowChartStillFollowsTheWindowEdges) {
    WriteSettings("[Config]\nshowMeanCompanyTrumak=1\n");
    ui::TForm1& f = CreateForm();
    f.show();
    ASSERT_TRUE(f.startupDone);
    f.resize(900, 662);
    EXPECT_EQ(f.Chart1->geometry(), QRect(375, 278, 500, 370));
}

class NoAppData : public SystemFolders {
public:
    std::optional<std::string> AppDataFolder() const override { return std::nullopt; }
};

TEST_F(StartupTest, NoApplicationDataFolderLeavesTheCreationStateAndNeverConnects) {
    NoAppData folders;
    SetSystemFolders(&folders);
    ui::TForm1& f = StartForm();
    EXPECT_EQ(boxes.messages, (std::vector<Box>{{"Path to AppData not found", "Error"}}));
    EXPECT_TRUE(f.startupDone);
    EXPECT_EQ(f.windowTitle(), kVersionedTitle);
    EXPECT_EQ(measData, nullptr);
    EXPECT_EQ(f.ErrorString->text(), QStringLiteral("Initialisation"));
    EXPECT_TRUE(f.loadFromFile->isEnabled());
    EXPECT_FALSE(f.ClrAll->isEnabled());
    // Every chart choice then tries to store and says why it cannot.
    f.CheckBoxMean->click();
    EXPECT_EQ(boxes.messages.size(), 2u);
    EXPECT_EQ(boxes.messages.back(), (Box{"Path to AppData not found", "Error"}));
    EXPECT_FALSE(f.meas300->isHidden()); // the label keeps its state
    SetSystemFolders(nullptr);
}

TEST_F(StartupTest, FolderThatCannotBeCreatedEndsTheStartUp) {
    // A file where the settings folder should go.
    const std::string blocker = IsolatedEnvironment::Root() + "/home/.config/Marvix";
    WriteFileBytes(blocker, "not a folder");
    CreateForm();
    form->show();
    ASSERT_EQ(boxes.errors.size(), 1u);
    EXPECT_EQ(boxes.errors[0], "Cannot create " + blocker);
    EXPECT_FALSE(form->startupDone);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("KANTREL 731 USB"));
    EXPECT_EQ(measData, nullptr);
    EXPECT_FALSE(form->Chart1->HasSeries());
}

TEST_F(StartupTest, ChartModeChangesAreBlockedBeforeStartUp) {
    ui::TForm1& f = CreateForm();
    f.graficModeItems[1]->click();
    EXPECT_EQ(settings.graficMode, 0);
    EXPECT_FALSE(f.Chart1->HasSeries());
    f.CheckBPeak1msUp->click();
    EXPECT_FALSE(f.pkMax->isHidden());
    EXPECT_FALSE(std::filesystem::exists(IsolatedEnvironment::Root() + "/work/731config.ini"));
    EXPECT_TRUE(boxes.messages.empty());
}

TEST_F(StartupTest, ChartModeChangeAfterStartUpStoresAndRebuildsTheSeries) {
    WriteSettings("[Config]\ngraficMode=0\n");
    ui::TForm1& f = StartForm();
    f.Chart1->AddPoint(ui::kSlotValue, 1, 2);
    const struct {
        int mode;
        bool lines;
        const char* axis;
    } cases[] = {{1, false, "[t] = s"}, {2, true, "[t] = s"}, {0, false, "[n] = 1"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        f.graficModeItems[static_cast<std::size_t>(c.mode)]->click();
        EXPECT_EQ(settings.graficMode, c.mode);
        EXPECT_NE(ReadSettingsFile().find("graficMode=" + std::to_string(c.mode)), std::string::npos);
        EXPECT_EQ(f.Chart1->UsesLineSeries(), c.lines);
        EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 0);
        EXPECT_EQ(f.Chart1->xAxis->label(), QString::fromLatin1(c.axis));
        EXPECT_EQ(f.Chart1->graphCount(), 5);
    }
}

TEST_F(StartupTest, SeriesCheckBoxesStoreTheirKeysAndShowTheirLabels) {
    ui::TForm1& f = StartForm();
    const struct {
        QCheckBox* box;
        QLabel* label;
        const char* key;
    } cases[] = {{f.CheckBPeak1msUp, f.pkMax, "showPeakUp"},
                 {f.CheckBPeakfilteredUp, f.pkMaxAvr, "showPeakUpFiltered"},
                 {f.CheckBoxMean, f.meas300, "showMean"},
                 {f.CheckBPeakfilteredDn, f.pkMinAvr, "showPeakDnFiltered"},
                 {f.CheckBPeak1msLo, f.pkMin, "showPeakDn"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        for (int round = 0; round < 2; ++round) {
            c.box->click();
            const bool on = c.box->isChecked();
            EXPECT_EQ(!c.label->isHidden(), on);
            EXPECT_NE(ReadSettingsFile().find(std::string(c.key) + "=" + (on ? "1" : "0")),
                      std::string::npos);
        }
    }
}

TEST_F(StartupTest, SampleRateChoiceIsStoredAndReachesARunningStore) {
    ui::TForm1& f = StartForm();
    ASSERT_NE(measData, nullptr);
    const int countBefore = measData->averagingCount;
    f.ComboBoxSampleRateChange(9); // not connected: only stored
    EXPECT_EQ(sampleRateIndex, 9);
    EXPECT_NE(ReadSettingsFile().find("SampleRate=9"), std::string::npos);
    EXPECT_EQ(measData->averagingCount, countBefore);

    AttachInstrument(100);
    f.ComboBoxSampleRateChange(2);
    EXPECT_EQ(measData->averagingCount, 5);
    f.ComboBoxSampleRateChange(-1); // typed text that matches no item
    EXPECT_EQ(sampleRateIndex, 2);
}

TEST_F(StartupTest, ReadoutDoneShowsTheInstrumentAndStartsTheRefresh) {
    ui::TForm1& f = StartForm();
    AttachInstrument();
    EXPECT_FALSE(f.TimerInit2->IsActive());
    EXPECT_TRUE(f.TimerGetMeas->IsActive());
    EXPECT_EQ(f.SerialDev->text(), QStringLiteral("D-1"));
    EXPECT_EQ(f.SerialSens->text(), QStringLiteral("S-1"));
    // The formatted nominal value without its first character, one space, the unit.
    const std::string formatted = FormatValue(1000.0);
    EXPECT_EQ(f.NomVal->text().toStdString(), formatted.substr(1) + " N");
}

TEST_F(StartupTest, HighResolutionBoxSetsTheFlagOnly) {
    WriteSettings("[Config]\nResolution=1\n");
    ui::TForm1& f = StartForm();
    const std::string before = ReadSettingsFile();
    f.CheckBoxHiRes->click();
    EXPECT_TRUE(hiResolution);
    f.CheckBoxHiRes->click();
    EXPECT_FALSE(hiResolution);
    EXPECT_EQ(ReadSettingsFile(), before);
}

} // namespace
} // namespace kantrel::test
