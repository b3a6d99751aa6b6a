#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fmt/format.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/data_file_writer.h"
#include "measure/meas_data.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::WriteFileBytes;

const ListCaptions kCaptions{"Number",    "[Date]",    "[Time]",        "[Diff] = ms",  "[Value] = N",
                             "[Min] = N", "[Max] = N", "[MinFilt] = N", "[MaxFilt] = N"};

// Row `row` of the table carries its index in every text, so the order shows in the lines.
void FillRow(TMeasData& store, int row) {
    store.SetRowDate(row, "09.12.2025");
    store.SetRowTime(row, "12:00:00");
    store.SetRowMs(row, fmt::format("{:03}", row % 1000));
    store.SetRowMean(row, fmt::format(" {},5", row));
    store.SetRowMin(row, "-1");
    store.SetRowMax(row, " 2");
    store.SetRowMinAvr(row, " 3");
    store.SetRowMaxAvr(row, " 4");
}

class DataFileWriterTest : public testing::Test {
protected:
    test::PortsScope scope;
    TMeasData store{100};
    std::string folder = test::IsolatedEnvironment::Root();
};

TEST_F(DataFileWriterTest, HeaderAndTwoLinesEndingInCrLf) {
    FillRow(store, 0);
    FillRow(store, 1);
    store.dataListPos = 1;
    const auto lines = BuildDataSetLines(kCaptions, store, 6);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t[MinFilt] = N\t"
              "[MaxFilt] = N\t(100ms)");
    EXPECT_EQ(lines[1], "1\t09.12.2025\t12:00:00\t000\t 0,5\t-1\t 2\t 3\t 4");
    EXPECT_EQ(lines[2], "2\t09.12.2025\t12:00:00\t001\t 1,5\t-1\t 2\t 3\t 4");

    const std::string path = folder + "/two.txt";
    ASSERT_TRUE(SaveDataSetLines(path, lines));
    EXPECT_EQ(ReadFileBytes(path), lines[0] + "\r\n" + lines[1] + "\r\n" + lines[2] + "\r\n");
}

TEST_F(DataFileWriterTest, CaptionsOfAListedDataSetCarryTheUnit) {
    EXPECT_EQ(DataSetCaptions("N"), kCaptions);
    EXPECT_EQ(DataSetCaptions("\xC2\xB5m")[8], "[MaxFilt] = \xC2\xB5m");
    // The line of a row alone is the line of that row in the table.
    FillRow(store, 7);
    EXPECT_EQ(FormatDataSetLine(3, store.Row(7)), FormatDataSetLine(store, 3, 7));
}

TEST_F(DataFileWriterTest, AveragingFieldFollowsTheSampleRateAtSavingTime) {
    struct Case {
        int rateIndex;
        const char* field;
    } cases[] = {{0, "(1ms)"}, {6, "(100ms)"}, {9, "(1000ms)"}, {12, "(10000ms)"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.rateIndex);
        const std::string header = BuildDataSetLines(kCaptions, store, k.rateIndex).front();
        EXPECT_TRUE(header.ends_with(std::string("\t") + k.field)) << header;
    }
}

TEST_F(DataFileWriterTest, OldestDataSetComesFirstAlsoAfterWrapAround) {
    for (int row = 0; row < kDataListSize; ++row)
        FillRow(store, row);
    struct Case {
        int pos;
        bool wrapped;
        std::size_t dataLines;
        int firstRow, lastRow;
    } cases[] = {
        {-1, false, 0, -1, -1},
        {0, false, 1, 0, 0},
        {4, false, 5, 0, 4},
        {4, true, kDataListSize, 5, 4},
        {kDataListSize - 1, true, kDataListSize, 0, kDataListSize - 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(fmt::format("pos {} wrapped {}", k.pos, k.wrapped));
        store.dataListPos = k.pos;
        store.dataListWrapped = k.wrapped;
        const auto lines = BuildDataSetLines(kCaptions, store, 6);
        ASSERT_EQ(lines.size(), k.dataLines + 1);
        if (k.dataLines == 0)
            continue;
        EXPECT_EQ(lines[1], FormatDataSetLine(store, 1, k.firstRow));
        EXPECT_EQ(lines.back(), FormatDataSetLine(store, static_cast<int>(k.dataLines), k.lastRow));
        // Numbers run from 1 without gaps.
        for (std::size_t i = 1; i < lines.size(); ++i)
            ASSERT_TRUE(lines[i].starts_with(fmt::format("{}\t", i))) << lines[i];
    }
}

TEST_F(DataFileWriterTest, WrittenAsUtf8WithoutByteOrderMark) {
    ListCaptions captions = kCaptions;
    captions[4] = "[Value] = \u00b5m";
    const std::string path = folder + "/micro.txt";
    ASSERT_TRUE(SaveDataSetLines(path, BuildDataSetLines(captions, store, 6)));
    const std::string bytes = ReadFileBytes(path);
    EXPECT_TRUE(bytes.starts_with("Number\t"));
    EXPECT_NE(bytes.find("[Value] = \xC2\xB5m"), std::string::npos);
}

class SaveFailureTest : public DataFileWriterTest {
protected:
    void SetUp() override {
        FillRow(store, 0);
        store.dataListPos = 0;
        lines = BuildDataSetLines(kCaptions, store, 6);
        // Big enough to need more than one write when a write is cut short.
        for (int i = 0; i < 2000; ++i)
            lines.push_back(lines[1]);
        WriteFileBytes(path, oldContent);
    }

    // Only the old file is left in the folder: no temporary file stays behind.
    void ExpectOldFileIntact() {
        EXPECT_EQ(ReadFileBytes(path), oldContent);
        int files = 0;
        for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
            (void)entry;
            ++files;
        }
        EXPECT_EQ(files, 1);
    }

    void ExpectErrorNamesFileAndCause(const SaveResult& result, std::string_view cause) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(path), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(cause), std::string::npos) << result.error;
    }

    std::string dir = [] {
        const std::string d = test::IsolatedEnvironment::Root() + "/saves";
        fs::create_directory(d);
        return d;
    }();
    std::string path = dir + "/data.txt";
    std::string oldContent = "Number\told file\r\n";
    std::vector<std::string> lines;
};

TEST_F(SaveFailureTest, DiskFullPartWayLeavesTheOldFile) {
    FileCalls calls = FileCalls::System();
    std::size_t written = 0;
    calls.write = [&](int fd, const void* data, std::size_t size) -> ssize_t {
        if (written >= 4096) {
            errno = ENOSPC;
            return -1;
        }
        const std::size_t part = std::min<std::size_t>(size, 1024);
        written += part;
        return ::write(fd, data, part);
    };
    ExpectErrorNamesFileAndCause(SaveDataSetLines(path, lines, calls), "No space left on device");
    ExpectOldFileIntact();
}

TEST_F(SaveFailureTest, FileSizeLimitLeavesTheOldFile) {
    // The write then fails with EFBIG instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    limit.rlim_cur = 1000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const SaveResult result = SaveDataSetLines(path, lines);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
    ExpectErrorNamesFileAndCause(result, "File too large");
    ExpectOldFileIntact();
}

TEST_F(SaveFailureTest, MissingFolderIsReportedWithTheFile) {
    path = dir + "/gone/data.txt";
    ExpectErrorNamesFileAndCause(SaveDataSetLines(path, lines), "No such file or directory");
}

TEST_F(SaveFailureTest, WriteProtectedFileIsNotReplaced) {
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    // Root may write any file: the permission check answers as it does for other users.
    FileCalls calls = FileCalls::System();
    calls.access = [](const char* name, int mode) {
        struct stat info {};
        if ((mode & W_OK) != 0 && ::stat(name, &info) == 0 && (info.st_mode & 0222) == 0) {
            errno = EACCES;
            return -1;
        }
        return ::access(name, mode);
    };
    ExpectErrorNamesFileAndCause(SaveDataSetLines(path, lines, calls), "Permission denied");
    ExpectOldFileIntact();
}

TEST_F(SaveFailureTest, ReplacingKeepsThePermissionsOfTheOldFile) {
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(SaveDataSetLines(path, lines));
    EXPECT_EQ(ReadFileBytes(path), JoinLinesCrLf(lines));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(SaveFailureTest, FolderWithoutRoomForATemporaryFileIsWrittenInPlace) {
    FileCalls calls = FileCalls::System();
    std::vector<std::string> opened;
    calls.open = [&](const char* name, int flags, mode_t mode) {
        opened.emplace_back(name);
        if ((flags & O_EXCL) != 0) {
            errno = EACCES;
            return -1;
        }
        return ::open(name, flags, mode);
    };
    ASSERT_TRUE(SaveDataSetLines(path, lines, calls));
    EXPECT_EQ(ReadFileBytes(path), JoinLinesCrLf(lines));
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], path);
}

// A name as long as the file system allows still saves: the temporary file beside it
// must not need a longer one.
TEST_F(SaveFailureTest, LongestFileNamesStillSave) {
    const std::string umlaut = "\xC3\xBC";
    for (const std::string& name : {std::string(241, 'n'), std::string(248, 'n'), std::string(255, 'n'),
                                    std::string(253, 'n') + umlaut, std::string(252, 'n') + umlaut + "x"}) {
        SCOPED_TRACE(name.size());
        fs::remove_all(dir);
        fs::create_directory(dir);
        const std::string longPath = dir + "/" + name;
        ASSERT_TRUE(SaveDataSetLines(longPath, lines));
        WriteFileBytes(longPath, oldContent);
        const SaveResult replaced = SaveDataSetLines(longPath, lines);
        EXPECT_TRUE(replaced) << replaced.error;
        EXPECT_EQ(ReadFileBytes(longPath), JoinLinesCrLf(lines));
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    }
}

TEST_F(SaveFailureTest, SymbolicLinkKeepsPointingAtTheSavedFile) {
    const std::string link = dir + "/link.txt";
    fs::create_symlink(path, link);
    ASSERT_TRUE(SaveDataSetLines(link, lines));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(path), JoinLinesCrLf(lines));
}

} // namespace
} // namespace kantrel
