#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

#include "core/file_calls.h"

#include "settings/ini_file.h"
#include "settings/language.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;
using test::Message;

class NoAppData : public SystemFolders {
public:
    std::optional<std::string> AppDataFolder() const override { return std::nullopt; }
};

class LanguageTest : public testing::Test {
protected:
    // Each test starts without the files and choices of the tests before it, also when
    // one process runs them all.
    void SetUp() override {
        fs::remove_all(*PerUserFolder());
        fs::remove(fs::current_path() / "731config.lng");
        fs::create_directories(*PerUserFolder());
        configInCurrentDir = false;
        languageIndex = 0;
    }
    void TearDown() override {
        SetLanguageFileReader({});
        SetSystemFolders(nullptr);
    }

    std::string LanguageFile() const { return *LanguageFilePath(); }
    void WriteLanguageFile(const std::string& text) { test::WriteFileBytes(LanguageFile(), text); }
    IniFile ReadBack() const { return IniFile::Load(LanguageFile()).file; }

    test::PortsScope scope;
};

TEST_F(LanguageTest, EnglishReturnsTheTrimmedTextAndTouchesNoFile) {
    EXPECT_EQ(Translate("  &SAVE ", 0), "&SAVE");
    EXPECT_EQ(Translate("\tValue\r\n", 0), "Value");
    EXPECT_FALSE(fs::exists(LanguageFile()));
}

TEST_F(LanguageTest, EnglishNeedsNoPerUserFolder) {
    NoAppData folders;
    SetSystemFolders(&folders);
    EXPECT_EQ(Translate(" No connection to Device", 0), "No connection to Device");
    EXPECT_TRUE(scope.window.Messages().empty());
}

TEST_F(LanguageTest, OtherLanguageWithoutPerUserFolderSaysSoAndGivesNothing) {
    NoAppData folders;
    SetSystemFolders(&folders);
    EXPECT_EQ(Translate("&SAVE", 1), "");
    EXPECT_EQ(scope.window.Messages(), (std::vector<Message>{{"Path to AppData not found", "Error"}}));
}

TEST_F(LanguageTest, MissingTextIsAddedAsItsOwnTranslation) {
    WriteLanguageFile("[LANGUAGE1]\nLanguage=Deutsch\n&LOAD=&LADEN\n");
    EXPECT_EQ(Translate("&LOAD", 1), "&LADEN");
    EXPECT_EQ(Translate("&SAVE", 1), "&SAVE");
    EXPECT_EQ(ReadBack().Read("LANGUAGE1", "&SAVE"), "&SAVE");
    EXPECT_EQ(ReadBack().Read("LANGUAGE1", "&LOAD"), "&LADEN");
    // The file is read afresh on every lookup: an edit shows at once.
    WriteLanguageFile("[LANGUAGE1]\n&SAVE=&SPEICHERN\n");
    EXPECT_EQ(Translate("&SAVE", 1), "&SPEICHERN");
}

TEST_F(LanguageTest, LookupKeysAndTranslations) {
    struct Case {
        const char* file; // section LANGUAGE1
        const char* text;
        const char* result;
        const char* key; // entry expected in the file afterwards
        const char* value;
    } cases[] = {
        {"Value=Wert", "Value", "Wert", "Value", "Wert"},
        {"Value=#", "Value", "Value", "Value", "Value"}, // "#" counts as missing
        {"", "a=b", "a=b", "a.eq.b", "a.eq.b"},
        {"a.eq.b=x.eq.y", "a=b", "x=y", "a.eq.b", "x.eq.y"},
        {"a.eq.b=c=x", "a=b=c", "a=b=c", "a.eq.b", "c=x"}, // only the first "=" is escaped
        {"Value=Wert", "  Value ", "  Wert ", "Value", "Wert"},
        {"", "  Min. ", "  Min. ", "Min.", "Min."},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        WriteLanguageFile(std::string("[LANGUAGE1]\n") + k.file + "\n");
        EXPECT_EQ(Translate(k.text, 1), k.result);
        EXPECT_EQ(ReadBack().Read("LANGUAGE1", k.key), k.value);
    }
}

// A text whose key could not be read back from the file (the format would take it for a
// section, a comment, a second "=" or two lines) is translated as missing, and the file is
// never written: writing it would add another copy, or rewrite the file, at every lookup.
TEST_F(LanguageTest, KeysThatCannotBeReadBackAreNeverWritten) {
    const std::string file = "[LANGUAGE1]\nLanguage=Deutsch\nValue=Wert\n";
    for (const char* text : {"[x]", " [x", ";x", "; Value", "a=b=c", "a\nb", "a\rb", "[LANGUAGE1]", "#"}) {
        SCOPED_TRACE(text);
        WriteLanguageFile(file);
        struct stat before {};
        ASSERT_EQ(stat(LanguageFile().c_str(), &before), 0);
        for (int call = 0; call < 2; ++call)
            EXPECT_EQ(Translate(text, 1), text);
        struct stat after {};
        ASSERT_EQ(stat(LanguageFile().c_str(), &after), 0);
        EXPECT_EQ(after.st_ino, before.st_ino) << "the file was replaced";
        EXPECT_EQ(test::ReadFileBytes(LanguageFile()), file);
    }
    EXPECT_TRUE(scope.window.Messages().empty());
}

// A folder where the language file should be: the file exists but cannot be read.
TEST_F(LanguageTest, LanguageFileThatIsAFolderWarnsAndGivesNothing) {
    fs::create_directory(LanguageFile());
    EXPECT_EQ(Translate("&SAVE", 1), "");
    EXPECT_EQ(scope.window.Messages(), (std::vector<Message>{{"Error Language File", "WARNING"}}));
    EXPECT_EQ(ReadLanguageList().status, LanguageList::Status::Unreadable);
    EXPECT_TRUE(fs::is_directory(LanguageFile()));
    EXPECT_TRUE(fs::is_empty(LanguageFile()));
}

// A full disk during start-up is told once, not at every caption, and again once a save
// has worked in between.
TEST_F(LanguageTest, FailedSelfFillingSaveIsToldOnce) {
    WriteLanguageFile("[LANGUAGE1]\nLanguage=Deutsch\n");
    FileCalls full = FileCalls::System();
    full.write = [](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    SetFileCalls(&full);
    EXPECT_EQ(Translate("&SAVE", 1), "&SAVE");
    EXPECT_EQ(Translate("&LOAD", 1), "&LOAD");
    SetFileCalls(nullptr);
    EXPECT_EQ(Translate("&ZOOM ALL", 1), "&ZOOM ALL");
    SetFileCalls(&full);
    EXPECT_EQ(Translate("Z&ero", 1), "Z&ero");
    SetFileCalls(nullptr);
    const auto messages = scope.window.Messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const Message& m : messages) {
        EXPECT_EQ(m.caption, "WARNING");
        EXPECT_NE(m.text.find(LanguageFile()), std::string::npos) << m.text;
        EXPECT_NE(m.text.find("No space left on device"), std::string::npos) << m.text;
    }
    EXPECT_EQ(ReadBack().Read("LANGUAGE1", "&ZOOM ALL"), "&ZOOM ALL");
    EXPECT_FALSE(ReadBack().Read("LANGUAGE1", "Z&ero").has_value());
}

TEST_F(LanguageTest, ApplicationTitleAndBlankTextsAreNotLookedUp) {
    EXPECT_EQ(Translate("Kantrel USB", 1), "Kantrel USB");
    EXPECT_EQ(Translate("   ", 1), "");
    EXPECT_FALSE(fs::exists(LanguageFile()));
}

TEST_F(LanguageTest, AbsentFileIsCreatedByTheFirstLookup) {
    ASSERT_FALSE(fs::exists(LanguageFile()));
    EXPECT_EQ(Translate("Numbers", 2), "Numbers");
    ASSERT_TRUE(fs::exists(LanguageFile()));
    EXPECT_EQ(ReadBack().Read("LANGUAGE2", "Numbers"), "Numbers");
    EXPECT_TRUE(scope.window.Messages().empty());
}

TEST_F(LanguageTest, UnreadableFileWarnsAndGivesNothing) {
    WriteLanguageFile("[LANGUAGE1]\nLanguage=Deutsch\n");
    SetLanguageFileReader([](const std::string&) {
        IniFile::LoadResult failed;
        failed.ok = false;
        failed.error = "Permission denied";
        return failed;
    });
    EXPECT_EQ(Translate("&SAVE", 1), "");
    EXPECT_EQ(scope.window.Messages(), (std::vector<Message>{{"Error Language File", "WARNING"}}));
    EXPECT_EQ(ReadLanguageList().status, LanguageList::Status::Unreadable);
    // Nothing was written over the file that could not be read.
    EXPECT_EQ(test::ReadFileBytes(LanguageFile()), "[LANGUAGE1]\nLanguage=Deutsch\n");
}

TEST_F(LanguageTest, LanguageListEndsAtTheFirstGap) {
    struct Case {
        const char* file;
        std::vector<std::string> names;
    } cases[] = {
        {"", {"English"}},
        {"[LANGUAGE1]\nLanguage=Deutsch\n[LANGUAGE2]\nLanguage=Fran\xC3\xA7"
         "ais\n",
         {"English", "Deutsch",
          "Fran\xC3\xA7"
          "ais"}},
        {"[LANGUAGE1]\nLanguage=Deutsch\n[LANGUAGE3]\nLanguage=Italiano\n", {"English", "Deutsch"}},
        {"[LANGUAGE1]\nLanguage=Deutsch\n[LANGUAGE2]\nLanguage=#\n[LANGUAGE3]\nLanguage=Italiano\n",
         {"English", "Deutsch"}},
        {"[LANGUAGE1]\nLanguage=\n", {"English"}},
        {"[LANGUAGE1]\nValue=Wert\n", {"English"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        WriteLanguageFile(k.file);
        const LanguageList list = ReadLanguageList();
        EXPECT_EQ(list.status, LanguageList::Status::Ok);
        EXPECT_EQ(list.names, k.names);
    }
}

TEST_F(LanguageTest, ChoiceWithoutSectionFillsANewSection) {
    WriteLanguageFile("[LANGUAGE1]\nLanguage=Deutsch\n[LANGUAGE2]\nLanguage=Italiano\n");
    ASSERT_TRUE(StoreLanguageChoice(3));
    ASSERT_TRUE(ReadLanguageChoice());
    EXPECT_EQ(languageIndex, 3);
    EXPECT_EQ(ReadLanguageList().names.size(), 3u); // index 3 selects nothing
    EXPECT_EQ(Translate("&ZOOM ALL"), "&ZOOM ALL");
    EXPECT_EQ(ReadBack().Read("LANGUAGE3", "&ZOOM ALL"), "&ZOOM ALL");
}

TEST_F(LanguageTest, ChoiceIsStoredWhereItIsRead) {
    struct Case {
        bool inCurrentDir;
        std::string file;
    } cases[] = {
        {false, *PerUserFolder() + "/731config.ini"},
        {true, fs::current_path().string() + "/731config.lng"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.file);
        configInCurrentDir = k.inCurrentDir;
        languageIndex = 0;
        ASSERT_TRUE(StoreLanguageChoice(2));
        EXPECT_EQ(IniFile::Load(k.file).file.ReadInteger("Config", "Lang", -1), 2);
        ASSERT_TRUE(ReadLanguageChoice());
        EXPECT_EQ(languageIndex, 2);
    }
}

TEST_F(LanguageTest, ChoiceNeedsThePerUserFolder) {
    NoAppData folders;
    SetSystemFolders(&folders);
    languageIndex = 0;
    EXPECT_FALSE(ReadLanguageChoice());
    EXPECT_EQ(languageIndex, 0);
    EXPECT_EQ(StoreLanguageChoice(1).status, StoreResult::Status::NoAppData);
}

// The language file that ships with the program translates every caption and status text
// of the window into German.
TEST(ShippedLanguageFileTest, GermanCoversTheWindowTexts) {
    const auto loaded = IniFile::Load(test::TestDataPath("../../data/731config.lng"));
    ASSERT_TRUE(loaded.ok);
    EXPECT_EQ(loaded.file.Read("LANGUAGE1", "Language"), "Deutsch");
    EXPECT_FALSE(loaded.file.SectionExists("LANGUAGE2"));
    for (const char* text : {"Clr &Peak",
                             "Z&ero",
                             "&CLR LAST MEASUREMENT",
                             "CL&R ALL MEASUREMENTS",
                             "S&INGLE SHOT",
                             "ST&ART AUTO",
                             "ST&OP AUTO",
                             "&LOAD",
                             "&SAVE",
                             "Clipboard + &Excel",
                             "&ZOOM ALL",
                             "Maximum",
                             "Maximum averaged",
                             "Mean value",
                             "Minimum averaged",
                             "Minimum",
                             "Firmware:",
                             "Serial No. Device:",
                             "Serial No. Sensor:",
                             "Nominal Value:",
                             "Actual Dataset:",
                             "Numbers",
                             "Mean of means",
                             "Initialisation",
                             "grafic mode",
                             "number",
                             "time",
                             "time with lines",
                             "Value",
                             "Min.",
                             "Max.",
                             "Min. averaged",
                             "Max. averaged",
                             "Hi. Res.",
                             "Mean to key buffer",
                             "Clear peak auto",
                             "No connection to Device",
                             "No connection to Tensolog",
                             "BUSY by Calculation",
                             "Busy, please wait"}) {
        SCOPED_TRACE(text);
        const auto value = loaded.file.Read("LANGUAGE1", text);
        ASSERT_TRUE(value);
        EXPECT_FALSE(value->empty());
        EXPECT_NE(*value, "#");
    }
}

} // namespace
} // namespace kantrel
