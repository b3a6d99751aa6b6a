#include <gtest/gtest.h>

#include <filesystem>

#include "settings/ini_file.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

// Folders inside the test's temporary root: <root>/appdata, <root>/share (whose
// "Marvix/Kantrel 731 USB" is the installation folder), working directory <root>/work.
class TestFolders : public SystemFolders {
public:
    std::optional<std::string> AppDataFolder() const override { return appData; }
    std::optional<std::string> ProgramFilesFolder() const override { return programFiles; }
    std::string CurrentDirectory() const override { return cwd; }

    // A folder per test, so that the tests also stand apart when one process runs them all.
    std::string root = test::IsolatedEnvironment::Root() + "/" +
                       testing::UnitTest::GetInstance()->current_test_info()->name();
    std::optional<std::string> appData = root + "/appdata";
    std::optional<std::string> programFiles = root + "/share";
    std::string cwd = root + "/share/Marvix/Kantrel 731 USB";
};

class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        SetSystemFolders(&folders);
        fs::create_directories(folders.root + "/appdata");
        WriteFileBytes(Install("731config.ini"), "[Config]\nSampleRate=3\n");
        WriteFileBytes(Install("731config.lng"), "[LANGUAGE1]\nLanguage=Deutsch\n");
    }
    void TearDown() override { SetSystemFolders(nullptr); }
    std::string Install(const std::string& name) { return folders.root + "/share/Marvix/Kantrel 731 USB/" + name; }
    std::string PerUser(const std::string& name) { return folders.root + "/appdata/Marvix/Kantrel 731 USB/" + name; }

    test::PortsScope scope;
    TestFolders folders;
};

TEST_F(SettingsTest, FirstStartCopiesTheDefaultsAndReadsThem) {
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    EXPECT_EQ(ReadFileBytes(PerUser("731config.ini")), "[Config]\nSampleRate=3\n");
    EXPECT_EQ(ReadFileBytes(PerUser("731config.lng")), "[LANGUAGE1]\nLanguage=Deutsch\n");
    ReadSettings(",");
    EXPECT_FALSE(configInCurrentDir);
    EXPECT_EQ(settings.SampleRate, 3);
}

TEST_F(SettingsTest, SecondStartCopiesNothing) {
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    WriteFileBytes(PerUser("731config.ini"), "[Config]\nSampleRate=9\n");
    WriteFileBytes(Install("731config.ini"), "[Config]\nSampleRate=1\n");
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    ReadSettings(",");
    EXPECT_EQ(settings.SampleRate, 9);
}

TEST_F(SettingsTest, MissingDefaultsAreNoError) {
    fs::remove_all(folders.root + "/share");
    folders.cwd = folders.root + "/work";
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    EXPECT_TRUE(fs::is_directory(PerUser("")));
    EXPECT_FALSE(fs::exists(PerUser("731config.ini")));
}

TEST_F(SettingsTest, PrepareReportsMissingAppDataAndUncreatableFolders) {
    folders.appData.reset();
    EXPECT_EQ(PrepareConfigFolder().status, PrepareResult::Status::NoAppData);
    EXPECT_FALSE(SettingsFilePath().has_value());
    EXPECT_FALSE(LanguageFilePath().has_value());

    folders.appData = folders.root + "/appdata";
    WriteFileBytes(folders.root + "/appdata/Marvix", "a file where the folder should be");
    const PrepareResult r = PrepareConfigFolder();
    EXPECT_EQ(r.status, PrepareResult::Status::CannotCreate);
    EXPECT_EQ(r.error, "Cannot create " + folders.root + "/appdata/Marvix");
}

TEST_F(SettingsTest, WorkingDirectoryModeKeepsSettingsAndLanguageChoiceThere) {
    folders.cwd = folders.root + "/work";
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    WriteFileBytes(folders.cwd + "/731config.ini", "[Config]\nSampleRate=11\n");
    ReadSettings(",");
    EXPECT_TRUE(configInCurrentDir);
    EXPECT_EQ(settings.SampleRate, 11);
    EXPECT_EQ(*SettingsFilePath(), folders.cwd + "/731config.ini");
    EXPECT_EQ(*LanguageChoicePath(), folders.cwd + "/731config.lng");
    EXPECT_EQ(*LanguageFilePath(), PerUser("731config.lng"));
    ASSERT_TRUE(StoreSetting("graficMode", "2"));
    EXPECT_EQ(ReadFileBytes(folders.cwd + "/731config.ini"), "[Config]\nSampleRate=11\ngraficMode=2\n");
}

TEST_F(SettingsTest, NoInstallationFolderMeansPerUserMode) {
    folders.programFiles.reset();
    ReadSettings(",");
    EXPECT_FALSE(configInCurrentDir);
    EXPECT_EQ(*LanguageChoicePath(), PerUser("731config.ini"));
}

// Without a working directory there is no folder "" to put the settings in: they stay in
// the per-user folder, or are not stored, but never go to "/731config.ini".
TEST_F(SettingsTest, UnknownWorkingDirectoryIsNoFolder) {
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    folders.cwd.clear();
    ReadSettings(",");
    EXPECT_FALSE(configInCurrentDir);
    EXPECT_EQ(SettingsFilePath(), PerUser("731config.ini"));
    EXPECT_EQ(LanguageChoicePath(), PerUser("731config.ini"));

    // Started in another folder, which then goes away.
    folders.cwd = folders.root + "/work";
    ReadSettings(",");
    ASSERT_TRUE(configInCurrentDir);
    folders.cwd.clear();
    EXPECT_EQ(SettingsFilePath(), std::nullopt);
    EXPECT_EQ(LanguageChoicePath(), std::nullopt);
    const StoreResult stored = StoreSetting("graficMode", "1");
    EXPECT_EQ(stored.status, StoreResult::Status::WriteFailed);
    EXPECT_NE(stored.error.find("working directory"), std::string::npos) << stored.error;
}

// The working directory of the process, removed while the program runs.
TEST(SystemFoldersTest, RemovedWorkingDirectoryIsUnknown) {
    const fs::path before = fs::current_path();
    const fs::path gone = fs::path(test::IsolatedEnvironment::Root()) / "gone";
    fs::create_directory(gone);
    fs::current_path(gone);
    fs::remove(gone);
    const std::string cwd = systemFolders().CurrentDirectory();
    fs::current_path(before);
    EXPECT_EQ(cwd, "");
}

// A value the file could not give back as it was is refused, and said so, not reported
// as stored.
TEST_F(SettingsTest, ValueThatWouldNotReadBackIsRefused) {
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    const std::string before = ReadFileBytes(PerUser("731config.ini"));
    const StoreResult stored = StoreSettings("extParameter", "a\n[Other]", "graficMode", "1");
    EXPECT_EQ(stored.status, StoreResult::Status::WriteFailed);
    EXPECT_NE(stored.error.find("extParameter"), std::string::npos) << stored.error;
    EXPECT_EQ(ReadFileBytes(PerUser("731config.ini")), before);
}

TEST_F(SettingsTest, DefaultsWhenTheFileIsMissingOrHasNoSection) {
    for (const char* content : {"", "[Other]\nSampleRate=1\n"}) {
        SCOPED_TRACE(content);
        fs::create_directories(PerUser(""));
        WriteFileBytes(PerUser("731config.ini"), content);
        ReadSettings(",");
        const Settings d;
        EXPECT_EQ(settings.SampleRate, 6);
        EXPECT_EQ(settings.graficMode, 0);
        EXPECT_TRUE(settings.showPeakUp);
        EXPECT_TRUE(settings.showPeakDn);
        EXPECT_FALSE(settings.showPeakUpFiltered);
        EXPECT_TRUE(settings.showMean);
        EXPECT_EQ(settings.TimerClrPeakMs, 250);
        EXPECT_EQ(settings.KeyDebounceTimeMs, 70);
        EXPECT_EQ(settings.KeyBufDelayTimeMs, 10);
        EXPECT_EQ(settings.DecimalSeparator, ",");  // the locale's separator
        EXPECT_EQ(settings.extProgramm, "");
        EXPECT_TRUE(settings.FlightRecorder);
        EXPECT_EQ(settings.RecordingsMaxMB, 2048);
        EXPECT_EQ(settings.RecordingsKeepDays, 30);
    }
}

TEST_F(SettingsTest, OutOfRangeValuesAreClamped) {
    fs::create_directories(PerUser(""));
    WriteFileBytes(PerUser("731config.ini"),
                   "[Config]\nSampleRate=13\ngraficMode=-1\nTimerClrPeakMs=-5\nKeyDebounceTimeMs=-70\n"
                   "KeyBufDelayTimeMs=-10\nuseSelKeySingleShot=5\nshowPeakUp=0\nDecimalSeparator=;x\n"
                   "FlightRecorder=0\nRecordingsMaxMB=-1\nRecordingsKeepDays=-30\n");
    ReadSettings(",");
    EXPECT_EQ(settings.SampleRate, 12);
    EXPECT_EQ(settings.graficMode, 0);
    EXPECT_EQ(settings.TimerClrPeakMs, 0);
    EXPECT_EQ(settings.KeyDebounceTimeMs, 0);
    EXPECT_EQ(settings.KeyBufDelayTimeMs, 0);
    EXPECT_EQ(settings.useSelKeySingleShot, 5);
    EXPECT_FALSE(settings.showPeakUp);
    EXPECT_EQ(settings.DecimalSeparator, ";");
    EXPECT_FALSE(settings.FlightRecorder);
    EXPECT_EQ(settings.RecordingsMaxMB, 0);
    EXPECT_EQ(settings.RecordingsKeepDays, 0);
    WriteFileBytes(PerUser("731config.ini"), "[Config]\nSampleRate=-4\ngraficMode=7\n");
    ReadSettings(",");
    EXPECT_EQ(settings.SampleRate, 0);
    EXPECT_EQ(settings.graficMode, 2);
}

TEST_F(SettingsTest, StoreWritesAtOnceAndBooleansReadBack) {
    ASSERT_EQ(PrepareConfigFolder().status, PrepareResult::Status::Ok);
    ReadSettings(",");
    ASSERT_TRUE(StoreSetting("showPeakDn", "0"));
    ASSERT_TRUE(StoreSettings("WriteToKeyBuffer", "1", "useSelKeySingleShot", "1"));
    EXPECT_EQ(ReadFileBytes(PerUser("731config.ini")),
              "[Config]\nSampleRate=3\nshowPeakDn=0\nWriteToKeyBuffer=1\nuseSelKeySingleShot=1\n");
    ReadSettings(",");
    EXPECT_FALSE(settings.showPeakDn);
    EXPECT_TRUE(settings.WriteToKeyBuffer);

    folders.appData.reset();
    const StoreResult r = StoreSetting("SampleRate", "1");
    EXPECT_EQ(r.status, StoreResult::Status::NoAppData);
}

TEST_F(SettingsTest, LimitsReadBackAndWhatCannotBeReadIsOff) {
    struct Case {
        const char* entries;
        bool on;
        std::optional<double> low, high;
    } cases[] = {
        {"", false, std::nullopt, std::nullopt},
        {"LimitsOn=1\nLimitLow=9.5\nLimitHigh=10.5\n", true, 9.5, 10.5},
        {"LimitsOn=1\nLimitLow=-0.25\n", true, -0.25, std::nullopt},
        {"LimitsOn=1\nLimitLow=\nLimitHigh=1e3\n", true, std::nullopt, 1000.0},
        // A hand-edited file may hold the regional comma.
        {"LimitsOn=1\nLimitLow=9,5\n", true, 9.5, std::nullopt},
        {"LimitsOn=yes\nLimitLow=low\nLimitHigh=10.5.1\n", false, std::nullopt, std::nullopt},
        {"LimitsOn=1\nLimitLow=nan\nLimitHigh=inf\n", true, std::nullopt, std::nullopt},
        {"LimitsOn=0\nLimitLow=1\nLimitHigh=2\n", false, 1.0, 2.0},
    };
    fs::create_directories(PerUser(""));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        WriteFileBytes(PerUser("731config.ini"), std::string("[Config]\n") + c.entries);
        ReadSettings(",");
        EXPECT_EQ(settings.LimitsOn, c.on);
        EXPECT_EQ(settings.LimitLow, c.low);
        EXPECT_EQ(settings.LimitHigh, c.high);
    }

    // What is stored reads back as the same number, whatever the locale.
    for (const double limit : {0.1, -1234.5678, 1e-7, 250.0}) {
        SCOPED_TRACE(limit);
        ASSERT_TRUE(StoreSetting("LimitHigh", LimitSettingText(limit)));
        ReadSettings(",");
        EXPECT_EQ(settings.LimitHigh, limit);
    }
    EXPECT_EQ(LimitSettingText(std::nullopt), "");
    EXPECT_EQ(LimitSettingText(10.5), "10.5");
}

TEST(Separators, Conversions) {
    test::PortsScope scope;
    struct Case {
        std::string text, setting, toSetting;
    } cases[] = {
        {" 12,5", ".", " 12.5"}, {"1.234,5", ".", "1.234.5"}, {" 15000", ".", " 15000"},
        {" 12.5", ",", " 12,5"}, {" 12,5", "", " 12,5"},  // no separator configured: unchanged
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        settings.DecimalSeparator = c.setting;
        std::string t = c.text;
        ToSettingSeparator(t);
        EXPECT_EQ(t, c.toSetting);
    }
    std::string local = "1,5";
    ToLocaleSeparator(local, ".");
    EXPECT_EQ(local, "1.5");
    local = "1.5,2";
    ToLocaleSeparator(local, ",");
    EXPECT_EQ(local, "1,5,2");
    std::string command = "#A03,1,2";
    CommaToDot(command);
    EXPECT_EQ(command, "#A03.1,2");
}

}  // namespace
}  // namespace kantrel
