// What the next start learns about the last run: the run record, the data sets a
// recording holds (complete lines only) and which recordings hold unsaved data sets.

#include <gtest/gtest.h>

#include <map>

#include "files/recording_state.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

TEST(RunRecordTest, ReadsBackWhatItWrites) {
    RunRecord run;
    run.started = "2025-12-09 12:00:00";
    run.files = {"recording-a.txt", "recording-b.txt"};
    run.savedFile = "recording-b.txt";
    run.savedLines = 3'000'000'000; // a run of weeks at 1 kHz
    const RunRecord back = ParseRunRecord(SerializeRunRecord(run));
    EXPECT_EQ(back.started, run.started);
    EXPECT_EQ(back.files, run.files);
    EXPECT_EQ(back.savedFile, run.savedFile);
    EXPECT_EQ(back.savedLines, run.savedLines);

    const RunRecord none = ParseRunRecord("");
    EXPECT_TRUE(none.files.empty());
    EXPECT_TRUE(none.savedFile.empty());
    EXPECT_EQ(none.savedLines, 0);
}

TEST(RecordedDataSetsTest, OnlyCompleteLinesAfterTheHeaderCount) {
    const std::string header =
        "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t[MinFilt] = "
        "N\t[MaxFilt] = N\t(1ms)\r\n";
    const std::string line = "1\t09.12.2025\t12:00:01\t250\t 1,5\t 1,0\t 2,0\t 1,2\t 1,8\r\n";
    const struct Case {
        const char* name;
        std::string bytes;
        std::int64_t dataSets;
    } cases[] = {
        {"empty file", "", 0},
        {"header only", header, 0},
        {"two lines", header + line + line, 2},
        {"two lines and a torn one", header + line + line + line.substr(0, 20), 2},
        {"a line torn between CR and LF", header + line + line.substr(0, line.size() - 1), 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = test::IsolatedEnvironment::Root() + "/count.txt";
        test::WriteFileBytes(path, c.bytes);
        EXPECT_EQ(CountRecordedDataSets(path), c.dataSets);
    }
    EXPECT_EQ(CountRecordedDataSets(test::IsolatedEnvironment::Root() + "/missing.txt"), std::nullopt);
}

TEST(FindUnsavedTest, RecordingsWithDataSetsStoredAfterTheLastSave) {
    const struct Case {
        const char* name;
        std::vector<std::string> files;
        std::string savedFile;
        std::int64_t savedLines;
        std::vector<std::pair<std::string, std::int64_t>> expected;
    } cases[] = {
        {"a run without recordings", {}, "", 0, {}},
        {"nothing saved", {"a"}, "", 0, {{"a", 5}}},
        {"all saved", {"a"}, "a", 5, {}},
        {"more stored after the save", {"a"}, "a", 3, {{"a", 5}}},
        {"saved, then a new recording", {"a", "b"}, "a", 5, {{"b", 4}}},
        {"saved in the newest recording", {"a", "b"}, "b", 4, {}},
        {"a recording that is gone", {"a", "gone"}, "", 0, {{"a", 5}}},
        {"a recording with its header only", {"empty"}, "", 0, {}},
        {"the saved recording is gone", {"a", "b"}, "removed", 9, {{"a", 5}, {"b", 4}}},
    };
    const std::map<std::string, std::int64_t> dataSets = {{"a", 5}, {"b", 4}, {"empty", 0}};
    const auto count = [&](const std::string& name) -> std::optional<std::int64_t> {
        const auto it = dataSets.find(name);
        return it == dataSets.end() ? std::nullopt : std::optional<std::int64_t>(it->second);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunRecord run{"", c.files, c.savedFile, c.savedLines};
        std::vector<std::pair<std::string, std::int64_t>> found;
        for (const UnsavedRecording& file : FindUnsaved(run, count))
            found.emplace_back(file.name, file.dataSets);
        EXPECT_EQ(found, c.expected);
    }
}

TEST(RecoveryMessageTest, NamesEachRecordingWithItsDataSetsAndLoad) {
    EXPECT_EQ(RecoveryMessage({{"recording-a.txt", 1}}, "/data/recordings"),
              "The last run ended before all of its data sets were saved.\n"
              "The recording /data/recordings/recording-a.txt holds 1 data set.\nLOAD opens it.");
    EXPECT_EQ(
        RecoveryMessage({{"recording-a.txt", 12}, {"recording-b.txt", 3}}, "/r"),
        "The last run ended before all of its data sets were saved.\nThese recordings hold them:\n"
        "/r/recording-a.txt (12 data sets)\n/r/recording-b.txt (3 data sets)\nLOAD opens each of them.");
}

} // namespace
} // namespace kantrel
