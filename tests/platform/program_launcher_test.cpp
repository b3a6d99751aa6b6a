#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "core/parameter_words.h"
#include "files/external_program.h"
#include "measure/meas_data.h"
#include "platform/posix_program_launcher.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;
using test::IsolatedEnvironment;

TEST(SplitShellWordsTest, WordsOfAParameterLine) {
    struct Case {
        const char* text;
        std::vector<std::string> words;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"a b\tc\nd", {"a", "b", "c", "d"}},
        {"  1,5   12:00:01 ", {"1,5", "12:00:01"}},
        {"'two words' \"and more\"", {"two words", "and more"}},
        {"pre'fix 'post", {"prefix post"}},
        {"'' \"\"", {"", ""}},
        {"'a \"b\" c'", {"a \"b\" c"}},
        {"\"it's\"", {"it's"}},
        {"$HOME *.txt ~", {"$HOME", "*.txt", "~"}}, // nothing is expanded
        {"'open to the end", {"open to the end"}},
        // Backslashes are characters, as on Windows command lines, except in front of a
        // double quote: 2n of them there give n and a quote, 2n+1 give n and a '"'.
        {"C:\\data\\x.csv \\\\server\\share", {"C:\\data\\x.csv", "\\\\server\\share"}},
        {"\"C:\\Program Files\\x\"", {"C:\\Program Files\\x"}},
        {"say \\\"hi\\\"", {"say", "\"hi\""}},
        {"\"a\\\\\" b", {"a\\", "b"}},
        {"\"a\\\\\\\" b\"", {"a\\\" b"}},
        {"back\\ slash", {"back\\", "slash"}},
        {"'a\\' b", {"a\\", "b"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.text);
        EXPECT_EQ(SplitShellWords(k.text), k.words);
    }
}

// Any word, written with QuoteShellWord, comes back from SplitShellWords as it was.
TEST(SplitShellWordsTest, QuotedWordsComeBackUnchanged) {
    const std::vector<std::string> words = {"plain",  "",           " ",           "two words",
                                            "it's",   "say \"hi\"", "C:\\dir\\",   "a\\\"b",
                                            "'\"'\"", "tab\there",  "line\nend",   "$HOME",
                                            "\\\\",   "-2.0",       "02:03:04 PM", "\xC3\xBC\xE2\x82\xAC"};
    std::string line;
    for (const std::string& word : words)
        line += QuoteShellWord(word) + " ";
    EXPECT_EQ(SplitShellWords(line), words);
    for (const std::string& word : words) {
        SCOPED_TRACE(word);
        EXPECT_EQ(SplitShellWords(QuoteShellWord(word)), std::vector<std::string>{word});
    }
}

TEST(LaunchResultTest, ErrnoBecomesTheShellResultCode) {
    struct Case {
        int error, code;
    } cases[] = {{ENOENT, 2},  {ENOTDIR, 3}, {ENOMEM, 8}, {ENOEXEC, 11},
                 {EACCES, 26}, {E2BIG, 0},   {ETXTBSY, 0}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.error);
        EXPECT_EQ(LaunchResultForErrno(k.error), k.code);
    }
}

class ProgramLauncherTest : public testing::Test {
protected:
    static std::string Helper() {
        return (fs::read_symlink("/proc/self/exe").parent_path() / "kantrel_record_args").string();
    }
    // The NUL-separated arguments the helper wrote, once the file is there.
    std::optional<std::vector<std::string>> WaitForRecord(const std::string& file) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fs::exists(file)) {
            if (std::chrono::steady_clock::now() > deadline)
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const std::string bytes = test::ReadFileBytes(file);
        std::vector<std::string> arguments;
        for (std::size_t start = 0, end; (end = bytes.find('\0', start)) != std::string::npos;
             start = end + 1)
            arguments.push_back(bytes.substr(start, end - start));
        return arguments;
    }
    // Children of this process; with onlyZombies, those that ended and were not collected.
    static int Children(bool onlyZombies) {
        int children = 0;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            if (!std::getline(stat, line))
                continue;
            // pid (name) state ppid ...
            const auto close = line.rfind(')');
            if (close == std::string::npos)
                continue;
            char state = 0;
            long ppid = 0;
            if (std::sscanf(line.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && ppid == getpid() &&
                (!onlyZombies || state == 'Z'))
                ++children;
        }
        return children;
    }
    void MakeFile(const std::string& path, const std::string& content, mode_t mode) {
        test::WriteFileBytes(path, content);
        chmod(path.c_str(), mode);
    }

    // A folder per test: a record file left by an earlier test in the same process must
    // not stand for this test's.
    test::PortsScope scope;
    PosixProgramLauncher launcher;
    std::string root = test::TestFolder();
};

TEST_F(ProgramLauncherTest, StartsTheProgramWithTheParametersSplitIntoWords) {
    ASSERT_TRUE(fs::exists(Helper())) << Helper();
    const std::string record = root + "/args";
    setenv("KANTREL_RECORD_ARGS_FILE", record.c_str(), 1);
    EXPECT_EQ(launcher.Launch(Helper(), " 1.5  2,5 'a b' \"12:00:01 PM\" "), kLaunchStarted);
    EXPECT_EQ(WaitForRecord(record), (std::vector<std::string>{"1.5", "2,5", "a b", "12:00:01 PM"}));
    // Not waited for by the caller, yet collected: once the program has ended, no zombie
    // stays behind. (It may still be running after writing its record.)
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Children(false) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Children(true), 0);
    EXPECT_EQ(Children(false), 0);
}

// The configured line with its placeholders, as the started program receives it.
TEST_F(ProgramLauncherTest, ExpandedParametersReachTheProgramAsConfigured) {
    ASSERT_TRUE(fs::exists(Helper())) << Helper();
    const std::string record = root + "/args";
    setenv("KANTREL_RECORD_ARGS_FILE", record.c_str(), 1);
    settings.DecimalSeparator = ".";
    settings.extParameter = "\"C:\\data\\run 1\" --mean=_Mean_ \"_Time_\" _Date_;x 'it''s'";
    TMeasData store(10);
    store.meanText = " 1,5";
    store.SetRowTime(0, "02:03:04 PM");
    store.SetRowDate(0, "12/09/2025");
    EXPECT_EQ(launcher.Launch(Helper(), ExpandParameters(store, 0)), kLaunchStarted);
    EXPECT_EQ(WaitForRecord(record), (std::vector<std::string>{"C:\\data\\run 1", "--mean=1.5", "02:03:04 PM",
                                                               "12/09/2025", "x", "its"}));
}

TEST_F(ProgramLauncherTest, ProgramIsFoundOnThePath) {
    const std::string bin = root + "/bin";
    fs::create_directory(bin);
    fs::copy_file(Helper(), bin + "/recorder");
    setenv("PATH", bin.c_str(), 1);
    const std::string record = root + "/args";
    setenv("KANTREL_RECORD_ARGS_FILE", record.c_str(), 1);
    EXPECT_EQ(launcher.Launch("recorder", "x"), kLaunchStarted);
    EXPECT_EQ(WaitForRecord(record), (std::vector<std::string>{"x"}));
}

TEST_F(ProgramLauncherTest, FailuresGiveTheirResultCodes) {
    MakeFile(root + "/garbage", "no program, no interpreter line\n", 0755);
    MakeFile(root + "/plain.txt", "text", 0644);
    struct Case {
        std::string program;
        int code;
    } cases[] = {
        {root + "/missing", 2},
        {"kantrel-no-such-program", 2},
        {root + "/plain.txt/inner", 3},
        {root + "/garbage", 11},
        {"", 2},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.program);
        EXPECT_EQ(launcher.Launch(k.program, "a b"), k.code);
    }
}

TEST_F(ProgramLauncherTest, DocumentsOpenWithXdgOpen) {
    const std::string bin = root + "/bin";
    fs::create_directory(bin);
    setenv("PATH", bin.c_str(), 1);
    MakeFile(root + "/report.txt", "text", 0644);
    MakeFile(fs::current_path().string() + "/local.txt", "text", 0644);
    // Nothing to open it with.
    EXPECT_EQ(launcher.Launch(root + "/report.txt", ""), kLaunchNoOpener);
    EXPECT_EQ(launcher.Launch("local.txt", ""), kLaunchNoOpener); // in the working directory

    fs::copy_file(Helper(), bin + "/xdg-open");
    const std::string record = root + "/args";
    setenv("KANTREL_RECORD_ARGS_FILE", record.c_str(), 1);
    EXPECT_EQ(launcher.Launch(root + "/report.txt", "ignored"), kLaunchStarted);
    EXPECT_EQ(WaitForRecord(record), (std::vector<std::string>{root + "/report.txt"}));
}

TEST_F(ProgramLauncherTest, ExternalProgramFailureIsShownWithItsMessage) {
    ports().launcher = &launcher;
    struct Case {
        std::string program, message;
    } cases[] = {
        {root + "/missing", "File '" + root + "/missing' not found!"},
        {root + "/missing/inner", "File '" + root + "/missing/inner' not found!"},
    };
    MakeFile(root + "/file", "x", 0644);
    for (const Case& k : cases) {
        SCOPED_TRACE(k.program);
        scope.window.messages.clear();
        LaunchExternalProgram(k.program, "");
        EXPECT_EQ(scope.window.Messages(), (std::vector<test::Message>{{k.message, "Error"}}));
    }
    scope.window.messages.clear();
    LaunchExternalProgram(root + "/file/inner", "");
    EXPECT_EQ(scope.window.Messages(),
              (std::vector<test::Message>{{"Path to File '" + root + "/file/inner' not found!", "Error"}}));
}

TEST_F(ProgramLauncherTest, FolderWithoutSearchPermissionIsAccessDenied) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permissions do not stop root";
    const std::string locked = root + "/locked";
    fs::create_directory(locked);
    fs::copy_file(Helper(), locked + "/recorder");
    chmod(locked.c_str(), 0600);
    EXPECT_EQ(launcher.Launch(locked + "/recorder", ""), 26);
    chmod(locked.c_str(), 0700);
}

} // namespace
} // namespace kantrel
