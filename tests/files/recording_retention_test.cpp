// The recordings folder within its limits: too old first, then oldest first until the
// rest fits; a recording in use never goes.

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

#include "files/recording_retention.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;

TEST(ChooseRecordingsToRemoveTest, OldFilesThenOldestFirstUntilTheRestFits) {
    // Listed out of order on purpose: the name (the start time) decides which is oldest.
    const std::vector<RecordingOnDisk> files = {
        {"recording-3.txt", 300, 1.0, false},
        {"recording-1.txt", 100, 40.0, false},
        {"recording-2.txt", 200, 10.0, false},
        {"recording-4.txt", 400, 0.0, true},
    };
    const struct Case {
        const char* name;
        RetentionLimits limits;
        std::vector<std::string> removed;
    } cases[] = {
        {"no limits", {0, 0}, {}},
        {"within both limits", {1000, 60}, {}},
        {"too old", {0, 30}, {"recording-1.txt"}},
        {"too big: oldest first", {700, 0}, {"recording-1.txt", "recording-2.txt"}},
        {"too old and too big", {800, 5}, {"recording-1.txt", "recording-2.txt"}},
        {"the recording in use stays, whatever the limits",
         {1, 0},
         {"recording-1.txt", "recording-2.txt", "recording-3.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ChooseRecordingsToRemove(files, c.limits), c.removed);
    }
}

class TrimRecordingsTest : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }
    void Make(const std::string& name, std::size_t bytes, int daysOld) {
        test::WriteFileBytes(folder + "/" + name, std::string(bytes, 'x'));
        fs::last_write_time(folder + "/" + name,
                            fs::file_time_type::clock::now() - std::chrono::hours(24 * daysOld));
    }
    bool Exists(const std::string& name) const { return fs::exists(folder + "/" + name); }

    std::string folder = test::IsolatedEnvironment::Root() + "/trim";
};

TEST_F(TrimRecordingsTest, RemovesRecordingsOnlyAndSparesThoseInUse) {
    Make("recording-2025-01-01_00-00-00-000.txt", 100, 40);
    Make("recording-2025-02-01_00-00-00-000.txt", 100, 1); // locked by another program
    Make("recording-2025-03-01_00-00-00-000.txt", 100, 1); // being written by this one
    Make("recording-2025-04-01_00-00-00-000.txt", 100, 0);
    Make("last-run.ini", 100, 400);
    Make("notes.txt", 100, 400);
    const int other = ::open((folder + "/recording-2025-02-01_00-00-00-000.txt").c_str(), O_RDONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);

    EXPECT_EQ(TrimRecordings(folder, {150, 30}, {"recording-2025-03-01_00-00-00-000.txt"}), 2);
    ::close(other);

    EXPECT_FALSE(Exists("recording-2025-01-01_00-00-00-000.txt"));
    EXPECT_TRUE(Exists("recording-2025-02-01_00-00-00-000.txt"));
    EXPECT_TRUE(Exists("recording-2025-03-01_00-00-00-000.txt"));
    EXPECT_FALSE(Exists("recording-2025-04-01_00-00-00-000.txt"));
    EXPECT_TRUE(Exists("last-run.ini"));
    EXPECT_TRUE(Exists("notes.txt"));
}

} // namespace
} // namespace kantrel
