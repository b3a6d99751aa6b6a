#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "settings/ini_file.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

TEST(IniFile, ReadsEntriesAsTheFormatDefines) {
    const IniFile ini = IniFile::Parse(
        "ignored=before any section\n"
        "  [Config]  \n"
        "; comment=1\n"
        "  SampleRate =  7  \n"
        "extParameter=a=b c\n"
        "Hex=0x1F\n"
        "Neg=-12\n"
        "Plus=+3\n"
        "Text=not a number\n"
        "Huge=99999999999999999999\n"
        "Empty=\n"
        "sampleRate=9\n"
        "just a line\n");
    EXPECT_EQ(ini.ReadInteger("config", "SAMPLERATE", 0), 7);  // case-insensitive, first entry wins
    EXPECT_EQ(ini.ReadString("Config", "extParameter", ""), "a=b c");  // split at the first "="
    EXPECT_EQ(ini.ReadInteger("Config", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadInteger("Config", "Neg", 0), -12);
    EXPECT_EQ(ini.ReadInteger("Config", "Plus", 0), 3);
    EXPECT_EQ(ini.ReadInteger("Config", "Text", 42), 42);
    EXPECT_EQ(ini.ReadInteger("Config", "Huge", 42), 42);
    EXPECT_EQ(ini.ReadString("Config", "Empty", "def"), "");
    EXPECT_EQ(ini.ReadString("Config", "missing", "def"), "def");
    EXPECT_FALSE(ini.Read("Config", "; comment").has_value());
    EXPECT_FALSE(ini.Read("Config", "ignored").has_value());
    EXPECT_FALSE(ini.SectionExists("Other"));
}

TEST(IniFile, SectionsOfTheSameNameInAnyCaseAreOne) {
    std::string text;
    for (int n = 0; n < 1000; ++n)
        text += "[S" + std::to_string(n) + "]\nk=" + std::to_string(n) + "\n";
    text += "[s7]\nlater=1\n[CONFIG]\na=1\n[Config]\nb=2\n";
    IniFile ini = IniFile::Parse(text);
    EXPECT_EQ(ini.ReadInteger("s999", "k", -1), 999);
    EXPECT_EQ(ini.ReadInteger("S7", "later", 0), 1);
    EXPECT_EQ(ini.ReadInteger("config", "b", 0), 2);
    ini.Write("conFIG", "c", "3");
    ini.Write("New", "d", "4");
    const std::string written = ini.Serialize();
    EXPECT_NE(written.find("[CONFIG]\na=1\nb=2\nc=3\n"), std::string::npos);
    EXPECT_EQ(written.find("[Config]"), std::string::npos);
    EXPECT_TRUE(written.ends_with("[New]\nd=4\n"));
    EXPECT_EQ(IniFile::Parse(written).ReadInteger("NEW", "d", 0), 4);
}

TEST(IniFile, BooleansAreIntegers) {
    const IniFile ini = IniFile::Parse("[C]\na=1\nb=0\nc=5\nd=yes\n");
    EXPECT_TRUE(ini.ReadBool("C", "a", false));
    EXPECT_FALSE(ini.ReadBool("C", "b", true));
    EXPECT_TRUE(ini.ReadBool("C", "c", false));
    EXPECT_TRUE(ini.ReadBool("C", "d", true));  // not an integer: the default
    EXPECT_FALSE(ini.ReadBool("C", "d", false));
}

TEST(IniFile, RewriteKeepsUnchangedLinesAndDropsIgnoredOnes) {
    IniFile ini = IniFile::Parse(
        "top line\n"
        "[Config]\n"
        ";comment\n"
        "SampleRate=6\n"
        "free text line\n"
        "\n"
        "[Other]\n"
        "x = 1\n");
    ini.Write("CONFIG", "SampleRate", "3");
    ini.Write("Config", "graficMode", "2");
    ini.Write("New", "k", "v");
    EXPECT_EQ(ini.Serialize(),
              "[Config]\n"
              "SampleRate=3\n"
              "free text line\n"
              "graficMode=2\n"
              "\n"
              "[Other]\n"
              "x=1\n"
              "\n"
              "[New]\n"
              "k=v\n");
}

// ASCII text as UTF-16 with a byte-order mark.
std::string Utf16(const std::string& ascii, bool bigEndian) {
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out.push_back(bigEndian ? '\0' : c);
        out.push_back(bigEndian ? c : '\0');
    }
    return out;
}

TEST(IniFile, KeepsByteOrderMarkAndLineEnds) {
    struct Case {
        std::string bytes;
        std::string rewritten;
    } cases[] = {
        {"\xEF\xBB\xBF[C]\r\na=1\r\n", "\xEF\xBB\xBF[C]\r\na=2\r\n"},
        {Utf16("[C]\na=1", false), Utf16("[C]\na=2\n", false)},
        {Utf16("[C]\r\na=1\r\n", true), Utf16("[C]\r\na=2\r\n", true)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.size());
        IniFile ini = IniFile::Parse(c.bytes);
        EXPECT_EQ(ini.ReadInteger("C", "a", 0), 1);
        ini.Write("C", "a", "2");
        EXPECT_EQ(ini.Serialize(), c.rewritten);
    }
}

TEST(IniFile, WindowsTextIsReadAsWindows1252AndWrittenAsUtf8) {
    IniFile ini = IniFile::Parse("[LANGUAGE1]\nLanguage=Fran\xE7" "ais\nUnit=\xB5m\n");
    EXPECT_EQ(ini.ReadString("LANGUAGE1", "Language", ""), "Fran\xC3\xA7" "ais");
    ini.Write("LANGUAGE1", "x", "y");
    EXPECT_EQ(ini.Serialize(), "[LANGUAGE1]\nLanguage=Fran\xC3\xA7" "ais\nUnit=\xC2\xB5m\nx=y\n");
}

// A UTF-8 language file with one line pasted from a Windows editor: only that line's
// bytes are read as Windows-1252, and a rewrite keeps the other lines as they were.
TEST(IniFile, OneWindowsLineLeavesTheUtf8LinesAlone) {
    IniFile ini = IniFile::Parse("[LANGUAGE1]\nLanguage=Deutsch\n\xC3\x9C" "ber=\xC3\x9C" "ber\nUnit=\xB5m\n");
    EXPECT_EQ(ini.ReadString("LANGUAGE1", "\xC3\x9C" "ber", ""), "\xC3\x9C" "ber");
    EXPECT_EQ(ini.ReadString("LANGUAGE1", "Unit", ""), "\xC2\xB5m");
    ini.Write("LANGUAGE1", "x", "y");
    EXPECT_EQ(ini.Serialize(), "[LANGUAGE1]\nLanguage=Deutsch\n\xC3\x9C" "ber=\xC3\x9C" "ber\nUnit=\xC2\xB5m\nx=y\n");
}

TEST(IniFile, BadInputLoadsWithoutHarm) {
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 37) & 0xFF));
    const std::string hugeLine = "[Config]\nSampleRate=" + std::string(1 << 20, '7') + "\nx=1\n";
    const std::string cases[] = {binary, hugeLine, "[Config", "]]]]", "=\n=\n[\n]", "[Config]\n=5\n"};
    for (const std::string& bytes : cases) {
        SCOPED_TRACE(bytes.substr(0, 16));
        IniFile ini = IniFile::Parse(bytes);
        EXPECT_EQ(ini.ReadInteger("Config", "SampleRate", 6), 6);
        ini.Write("Config", "SampleRate", "1");
        EXPECT_EQ(IniFile::Parse(ini.Serialize()).ReadInteger("Config", "SampleRate", 6), 1);
    }
    EXPECT_EQ(IniFile::Parse(hugeLine).ReadInteger("Config", "x", 0), 1);
}

// What is written reads back as written, or is not written at all.
TEST(IniFile, EntriesThatWouldNotReadBackAreNotWritten) {
    struct Case {
        std::string section, key, value;
        bool written;
    } cases[] = {
        {"C", "a b", "x y", true}, {"C", "k", "", true},
        {"C", "", "v", false},     {"C", "[x]", "v", false},
        {"C", "[x", "v", false},   {"C", ";k", "v", false},
        {"C", "a=b", "v", false},  {"C", " k", "v", false},
        {"C", "k\t", "v", false},  {"C", "a\nb", "v", false},
        {"C", "k", "a\nb", false}, {"C", "k", "a\r[Other]", false},
        {"C", "k", " v", false},   {"C", "k", std::string("v\0", 2), false},
        {"A\nB", "k", "v", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key + "=" + c.value);
        IniFile ini = IniFile::Parse("[C]\nold=1\n");
        const std::string before = ini.Serialize();
        EXPECT_EQ(ini.Write(c.section, c.key, c.value), c.written);
        if (c.written) {
            EXPECT_EQ(IniFile::Parse(ini.Serialize()).Read(c.section, c.key), c.value);
        } else {
            EXPECT_EQ(ini.Serialize(), before);
        }
    }
}

// A file that exists but cannot be read is not taken for an empty one.
TEST(IniFile, FolderAtThePathIsUnreadable) {
    const std::string path = test::IsolatedEnvironment::Root() + "/work/folder.ini";
    std::filesystem::create_directories(path);
    const auto loaded = IniFile::Load(path);
    EXPECT_FALSE(loaded.ok);
    EXPECT_FALSE(loaded.error.empty());
}

TEST(IniFile, MissingFileReadsAsEmptyAndSaveCreatesIt) {
    const std::string path = test::IsolatedEnvironment::Root() + "/work/new.ini";
    auto loaded = IniFile::Load(path);
    EXPECT_TRUE(loaded.ok);
    EXPECT_FALSE(loaded.file.SectionExists("Config"));
    loaded.file.Write("Config", "a", "1");
    ASSERT_TRUE(loaded.file.Save(path));
    EXPECT_EQ(test::ReadFileBytes(path), "[Config]\na=1\n");
}

}  // namespace
}  // namespace kantrel
