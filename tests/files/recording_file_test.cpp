// One recording: its folder and name, its header, and whole lines also when the disk
// fails part-way through a write.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "core/date_time.h"
#include "files/recording_file.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;

// Sets environment variables for the life of the scope.
class EnvironmentScope {
public:
    void Set(const char* name, const char* value) {
        const char* old = std::getenv(name);
        saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~EnvironmentScope() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
            it->second ? setenv(it->first.c_str(), it->second->c_str(), 1) : unsetenv(it->first.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(RecordingsFolderTest, DataHomeElseHomeElseNone) {
    const struct Case {
        const char* dataHome;
        const char* home;
        std::optional<std::string> folder;
    } cases[] = {
        {"/data", "/home/op", "/data/kantrel731/recordings"},
        {"relative/data", "/home/op", "/home/op/.local/share/kantrel731/recordings"},
        {nullptr, "/home/op", "/home/op/.local/share/kantrel731/recordings"},
        {"", nullptr, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dataHome ? c.dataHome : "(unset)");
        EnvironmentScope environment;
        environment.Set("XDG_DATA_HOME", c.dataHome);
        environment.Set("HOME", c.home);
        EXPECT_EQ(RecordingsFolder(), c.folder);
    }
}

TEST(RecordingFileNameTest, NamesSortByStartTime) {
    const double t = EncodeDateTime({2025, 12, 9, 8, 5, 3, 7});
    EXPECT_EQ(RecordingFileName(t), "recording-2025-12-09_08-05-03-007.txt");
    EXPECT_EQ(RecordingFileName(t, 2), "recording-2025-12-09_08-05-03-007_02.txt");
    const std::vector<std::string> inOrder = {
        RecordingFileName(t), RecordingFileName(t, 2), RecordingFileName(t, 10),
        RecordingFileName(t + kOneMillisecond), RecordingFileName(EncodeDateTime({2026, 1, 1, 0, 0, 0, 0}))};
    EXPECT_TRUE(std::is_sorted(inOrder.begin(), inOrder.end()));
    for (const std::string& name : inOrder)
        EXPECT_TRUE(IsRecordingFileName(name)) << name;
    EXPECT_FALSE(IsRecordingFileName("last-run.ini"));
    EXPECT_FALSE(IsRecordingFileName("recording-.txt"));
}

class RecordingFileTest : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    std::string folder = test::IsolatedEnvironment::Root() + "/recordings";
    double start = EncodeDateTime({2025, 12, 9, 12, 0, 0, 0});
    FileCalls calls = FileCalls::System();
};

TEST_F(RecordingFileTest, NewRecordingHasItsHeaderAndTakesAFreeName) {
    RecordingFile::Created first = RecordingFile::Create(folder, start, "Number\t(1ms)", calls);
    RecordingFile::Created second = RecordingFile::Create(folder, start, "Number\t(2ms)", calls);
    ASSERT_TRUE(first.file && second.file);
    EXPECT_EQ(first.file->name(), "recording-2025-12-09_12-00-00-000.txt");
    EXPECT_EQ(second.file->name(), "recording-2025-12-09_12-00-00-000_02.txt");
    EXPECT_EQ(test::ReadFileBytes(first.path), "Number\t(1ms)\r\n");
    EXPECT_EQ(test::ReadFileBytes(second.path), "Number\t(2ms)\r\n");
    EXPECT_EQ(first.file->dataLines(), 0);
}

TEST_F(RecordingFileTest, WriteThatStopsPartWayLeavesTheLastWholeLine) {
    RecordingFile::Created created = RecordingFile::Create(folder, start, "H", calls);
    ASSERT_TRUE(created.file);
    ASSERT_EQ(created.file->Append("1\ta\r\n", 1), 0);
    // The disk fills up after the first few bytes of the next write.
    calls.write = [first = true](int fd, const void* data, std::size_t size) mutable -> ssize_t {
        if (std::exchange(first, false))
            return ::write(fd, data, std::min<std::size_t>(size, 4));
        errno = ENOSPC;
        return -1;
    };
    EXPECT_EQ(created.file->Append("2\tb\r\n3\tc\r\n", 2), ENOSPC);
    EXPECT_EQ(test::ReadFileBytes(created.path), "H\r\n1\ta\r\n");
    EXPECT_EQ(created.file->dataLines(), 1);
}

TEST_F(RecordingFileTest, FolderThatCannotBeWrittenGivesTheCauseAndNoFile) {
    const struct Case {
        const char* name;
        int error;
    } cases[] = {{"read-only file system", EROFS}, {"permission denied", EACCES}, {"disk full", ENOSPC}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileCalls failing = calls;
        failing.open = [&c](const char*, int, mode_t) {
            errno = c.error;
            return -1;
        };
        const RecordingFile::Created created = RecordingFile::Create(folder, start, "H", failing);
        EXPECT_FALSE(created.file);
        EXPECT_EQ(created.error, c.error);
        EXPECT_TRUE(fs::is_empty(folder));
    }
}

TEST_F(RecordingFileTest, FolderBelowAFileCannotBeMade) {
    // A path through a regular file fails for root too.
    test::WriteFileBytes(folder + "/plain", "x");
    EXPECT_EQ(MakeFolders(folder + "/plain/kantrel731/recordings", calls), ENOTDIR);
    EXPECT_EQ(MakeFolders(folder + "/a/b/c", calls), 0);
    EXPECT_TRUE(fs::is_directory(folder + "/a/b/c"));
}

} // namespace
} // namespace kantrel
