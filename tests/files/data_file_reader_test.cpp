#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <fmt/format.h>

#include "files/data_file_reader.h"
#include "measure/meas_data.h"
#include "platform/posix_regional_settings.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

using test::TestDataPath;

// The same files read under a comma locale and under a point locale.
class DataFileReaderTest : public testing::TestWithParam<const char*> {
protected:
    DataFileReaderTest() : regional(GetParam()) { options.regional = &regional; }

    DataFileContent Load(const std::string& fixture) { return LoadDataFile(TestDataPath(fixture), options); }

    test::PortsScope scope;
    PosixRegionalSettings regional;
    DataFileReadOptions options;
};

INSTANTIATE_TEST_SUITE_P(Locales, DataFileReaderTest, testing::Values("de_DE.UTF-8", "en_US.UTF-8"));

std::vector<int> Indices(const DataFileContent& c) {
    std::vector<int> indices;
    for (const LoadedRow& row : c.rows)
        indices.push_back(row.index);
    return indices;
}

std::vector<std::string> NumberTexts(const DataFileContent& c) {
    std::vector<std::string> numbers;
    for (const LoadedRow& row : c.rows)
        numbers.push_back(row.numberText);
    return numbers;
}

TEST_P(DataFileReaderTest, RowsCaptionsAndBlankLastListRow) {
    const DataFileContent c = Load("datafile_three_rows.txt");
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    EXPECT_TRUE(c.Completed());
    const ListCaptions expected{"",        "[Date]",  "[Time]",      "[Diff]=ms",  "[Value]=N",
                                "[Min]=N", "[Max]=N", "[MinFilt]=N", "[MaxFilt]=N"};
    EXPECT_EQ(c.captions, expected);
    EXPECT_EQ(c.ValueAxisTitle(), "[Value]=N");
    // Three data rows and the blank row that the final line end leaves.
    EXPECT_EQ(NumberTexts(c), (std::vector<std::string>{"1", "2", "3", ""}));
    EXPECT_EQ(Indices(c), (std::vector<int>{0, 1, 2, -1}));
    EXPECT_EQ(c.storedRows, 3);
    // Values lose their leading blank and keep the separator of the file.
    EXPECT_EQ(c.rows[1].subItems, (std::vector<std::string>{"09.12.2025", "12:00:02", "750", "-2,5", "-3,0",
                                                            "-2,0", "-2,8", "-2,2"}));
    EXPECT_TRUE(LoadMessages(c).empty());
}

TEST_P(DataFileReaderTest, PointsAreDrawnWithTheRegionalSeparatorWhateverTheFileUses) {
    const DataFileContent c = Load("datafile_three_rows.txt");
    ASSERT_EQ(c.points.size(), 15u);
    const double expected[3][5] = {
        {1.5, 1.0, 2.0, 1.2, 1.8}, {-2.5, -3.0, -2.0, -2.8, -2.2}, {10.0, 9.5, 10.5, 9.8, 10.2}};
    for (std::size_t i = 0; i < c.points.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(c.points[i].slot, static_cast<int>(i % 5));
        EXPECT_DOUBLE_EQ(c.points[i].x, static_cast<double>(i / 5 + 1));
        EXPECT_DOUBLE_EQ(c.points[i].y, expected[i / 5][i % 5]);
    }
}

TEST_P(DataFileReaderTest, EdgeCasesOfTheRowLoop) {
    struct Case {
        const char* fixture;
        DataFileStop stop;
        std::vector<std::string> numbers; // the list rows
        std::vector<int> indices;
        int lastLine; // line named in the message, 0 for none
    } cases[] = {
        {"datafile_no_final_line_end.txt", DataFileStop::EndOfFile, {"1", "2", "3"}, {0, 1, 2}, 0},
        // A recording cut off in the middle of its last line: that line is left out.
        {"datafile_torn_last_line.txt", DataFileStop::EndOfFile, {"1", "2", ""}, {0, 1, -1}, 0},
        {"datafile_header_only.txt", DataFileStop::EndOfFile, {""}, {-1}, 0},
        {"datafile_numbered_from_5.txt", DataFileStop::EndOfFile, {"5", "6", "7", ""}, {0, 1, 2, -1}, 0},
        // Numbered from 0: the first row must not leave the base unset and share index 0.
        {"datafile_numbered_from_0.txt", DataFileStop::EndOfFile, {"0", "1", "2", ""}, {0, 1, 2, -1}, 0},
        // A 50-character date ends the rows; the row before it stays.
        {"datafile_long_date_field.txt", DataFileStop::FieldTooLong, {"1", "2"}, {0, -1}, 3},
        // The value of row 2 cannot be drawn: row 2 is stored, the load stops there.
        {"datafile_not_a_number.txt", DataFileStop::ConversionError, {"1", "2"}, {0, 1}, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.fixture);
        const DataFileContent c = Load(k.fixture);
        EXPECT_EQ(c.stop, k.stop);
        EXPECT_EQ(NumberTexts(c), k.numbers);
        EXPECT_EQ(Indices(c), k.indices);
        EXPECT_EQ(c.stopLine, k.lastLine);
        if (k.lastLine != 0) {
            const auto messages = LoadMessages(c);
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_NE(messages[0].text.find(fmt::format("line {}", k.lastLine)), std::string::npos)
                << messages[0].text;
        }
    }
}

TEST_P(DataFileReaderTest, NumbersFromFiveAreDrawnAtTheirNumbers) {
    const DataFileContent c = Load("datafile_numbered_from_5.txt");
    ASSERT_FALSE(c.points.empty());
    EXPECT_DOUBLE_EQ(c.points.front().x, 5.0);
    EXPECT_DOUBLE_EQ(c.points.back().x, 7.0);
}

TEST_P(DataFileReaderTest, HeaderOnlyGivesNoPointsButCompletes) {
    const DataFileContent c = Load("datafile_header_only.txt");
    EXPECT_TRUE(c.points.empty());
    EXPECT_EQ(c.storedRows, 0);
    EXPECT_TRUE(c.Completed());
}

TEST_P(DataFileReaderTest, ConversionErrorNamesTheTextAndKeepsEarlierPoints) {
    const DataFileContent c = Load("datafile_not_a_number.txt");
    EXPECT_FALSE(c.Completed());
    EXPECT_EQ(c.points.size(), 5u); // row 1 only
    const auto messages = LoadMessages(c);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kCaptionError);
    EXPECT_NE(messages[0].text.find("\"abc\""), std::string::npos) << messages[0].text;
}

TEST_P(DataFileReaderTest, ValueOfAnUncheckedSeriesIsNotConverted) {
    options.seriesChecked = {false, true, true, true, true};
    const DataFileContent c = Load("datafile_not_a_number.txt");
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(c.storedRows, 3);
    EXPECT_EQ(c.points.size(), 12u);
}

TEST_P(DataFileReaderTest, LongFieldIsReportedAsWarning) {
    const auto messages = LoadMessages(Load("datafile_long_date_field.txt"));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kCaptionWarning);
}

TEST_P(DataFileReaderTest, EmptyAndMissingFilesAreRefused) {
    struct Case {
        std::string path;
        DataFileStop stop;
        std::string_view text, caption;
    } cases[] = {
        {TestDataPath("datafile_empty.txt"), DataFileStop::UnknownFormat, kUnknownFileFormat, kCaptionError},
        {TestDataPath("datafile_missing.txt"), DataFileStop::FileNotFound, kFileNotFound, kCaptionERROR},
        {test::IsolatedEnvironment::Root(), DataFileStop::FileNotFound, kFileNotFound,
         kCaptionERROR}, // a folder
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.path);
        const DataFileContent c = LoadDataFile(k.path, options);
        EXPECT_EQ(c.stop, k.stop);
        EXPECT_FALSE(c.Completed());
        EXPECT_TRUE(c.rows.empty());
        const auto messages = LoadMessages(c);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, k.text);
        EXPECT_EQ(messages[0].caption, k.caption);
    }
}

TEST_P(DataFileReaderTest, WindowsFileWithMicrometreUnit) {
    const DataFileContent c = Load("datafile_windows1252_micrometre.txt");
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(c.captions[4], "[Value]=\u00b5m");
    EXPECT_EQ(c.captions[8], "[MaxFilt]=\u00b5m");
    EXPECT_EQ(c.storedRows, 2);
    EXPECT_EQ(c.rows[0].subItems[3], "1,5");
}

// Rows with one tab-separated line per data set, numbered from `first`.
std::string FileWithRows(int first, int count, std::string_view time = "12:00:01") {
    std::string text =
        "Number\t[Date]\t[Time]\t[Diff] = ms\t[Value] = N\t[Min] = N\t[Max] = N\t[MinFilt] = N\t"
        "[MaxFilt] = N\t(100ms)\r\n";
    for (int n = first; n < first + count; ++n)
        text += fmt::format("{}\t09.12.2025\t{}\t000\t {}\t 1\t 2\t 3\t 4\r\n", n, time, n);
    return text;
}

TEST_P(DataFileReaderTest, RowsBeyondTheTableAreSkippedAndCounted) {
    const DataFileContent c = ParseDataFile(FileWithRows(1, kDataListSize + 2), options);
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(c.storedRows, kDataListSize);
    EXPECT_EQ(c.skippedRows, 2);
    EXPECT_EQ(c.rows.size(), static_cast<std::size_t>(kDataListSize) + 1); // and the blank row
    const auto messages = LoadMessages(c);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kCaptionWarning);
    EXPECT_NE(messages[0].text.find("2 rows were not loaded"), std::string::npos) << messages[0].text;

    TMeasData store(1);
    ApplyToStore(c, store);
    EXPECT_EQ(store.GetDataListPos(), kDataListSize - 1);
    EXPECT_EQ(store.GetRowMean(kDataListSize - 1), fmt::format("{}", kDataListSize));
}

// What a text editor may add or mix into a file: a byte-order mark, a NUL byte, one line
// in Windows-1252 among UTF-8 lines.
TEST_P(DataFileReaderTest, EditedFilesReadAsTheirBytesSay) {
    const std::string rows = FileWithRows(1, 2);
    std::string withNul = rows;
    withNul.replace(withNul.find("000"), 3,
                    std::string("0\0"
                                "00",
                                4));
    std::string mixed = rows;
    mixed.replace(mixed.find("[Value] = N"), 11, "[Value] = \xC2\xB5m");
    mixed.replace(mixed.find("[Min] = N"), 9, "[Min] = \xB5m");
    struct Case {
        const char* name;
        std::string bytes;
        std::string caption4, caption5, ms, mean;
    } cases[] = {
        {"byte-order mark", "\xEF\xBB\xBF" + rows, "[Value]=N", "[Min]=N", "000", "1"},
        {"NUL inside a word", withNul, "[Value]=N", "[Min]=N",
         std::string("0\0"
                     "00",
                     4),
         "1"},
        {"UTF-8 with one Windows byte", mixed, "[Value]=\u00b5m", "[Min]=\u00b5m", "000", "1"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const DataFileContent c = ParseDataFile(k.bytes, options);
        EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
        EXPECT_EQ(c.storedRows, 2);
        EXPECT_EQ(c.captions[4], k.caption4);
        EXPECT_EQ(c.captions[5], k.caption5);
        ASSERT_FALSE(c.rows.empty());
        ASSERT_EQ(c.rows[0].subItems.size(), 8u);
        EXPECT_EQ(c.rows[0].subItems[2], k.ms);
        EXPECT_EQ(c.rows[0].subItems[3], k.mean);
    }
}

TEST_P(DataFileReaderTest, RowNumberedBelowTheFirstIsSkipped) {
    const std::string text = FileWithRows(3, 1) + "1\t09.12.2025\t12:00:01\t000\t 1\t 1\t 2\t 3\t 4\r\n";
    const DataFileContent c = ParseDataFile(text, options);
    EXPECT_EQ(c.storedRows, 1);
    EXPECT_EQ(c.skippedRows, 1);
    EXPECT_EQ(NumberTexts(c), (std::vector<std::string>{"3", ""}));
}

// Numbers beyond the 32-bit range are integers all the same: their rows lie outside the
// table, and the first of them does not become the base.
TEST_P(DataFileReaderTest, RowNumbersBeyondThirtyTwoBitsAreOutsideTheTable) {
    const std::string row = "\t09.12.2025\t12:00:01\t000\t 1\t 1\t 2\t 3\t 4\r\n";
    std::string text = FileWithRows(1, 0);
    for (const char* number :
         {"4294967297", "5", "2147483648", "6", "99999999999", "-2147483649", "99999999999999999999", "7"})
        text += number + row;
    const DataFileContent c = ParseDataFile(text, options);
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(NumberTexts(c), (std::vector<std::string>{"5", "6", "7", ""}));
    EXPECT_EQ(Indices(c), (std::vector<int>{0, 1, 2, -1}));
    EXPECT_EQ(c.skippedRows, 5);
    const auto messages = LoadMessages(c);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kCaptionWarning);
    EXPECT_NE(messages[0].text.find("5 rows were not loaded"), std::string::npos) << messages[0].text;
}

// However the rows are numbered, no more rows are kept than the table holds.
TEST_P(DataFileReaderTest, RowsWithTheSameNumberFillTheTableAtMost) {
    std::string text = FileWithRows(1, 0);
    for (int i = 0; i < kDataListSize + 3; ++i)
        text += "1\t09.12.2025\t12:00:01\t000\t 1\t 1\t 2\t 3\t 4\r\n";
    const DataFileContent c = ParseDataFile(text, options);
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(c.storedRows, kDataListSize);
    EXPECT_EQ(c.skippedRows, 3);
    EXPECT_EQ(c.rows.size(), static_cast<std::size_t>(kDataListSize) + 1);
    EXPECT_EQ(c.points.size(), 5u * kDataListSize);
}

TEST_P(DataFileReaderTest, OverlongWordEndsTheRows) {
    const std::string longValue(kMaxWordChars + 1, '7');
    const std::string text =
        FileWithRows(1, 1) + "2\t09.12.2025\t12:00:01\t000\t " + longValue + "\t 1\t 2\t 3\t 4\r\n";
    const DataFileContent c = ParseDataFile(text, options);
    EXPECT_EQ(c.stop, DataFileStop::FieldTooLong);
    EXPECT_EQ(c.storedRows, 1);
    EXPECT_EQ(c.stopLine, 3);
    const auto messages = LoadMessages(c);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kCaptionWarning);
    EXPECT_NE(messages[0].text.find("line 3"), std::string::npos) << messages[0].text;
    // A word of the limit's length is read.
    const DataFileContent fits = ParseDataFile(
        FileWithRows(1, 0) + "1\t09.12.2025\t12:00:01\t000\t1\t1\t2\t3\t" + longValue.substr(1) + "\r\n",
        options);
    EXPECT_EQ(fits.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(fits.storedRows, 1);
}

// Bytes made on demand, as a file of any size would deliver them, counting what was read.
class GeneratedSource : public ByteSource {
public:
    GeneratedSource(std::string start, std::string repeated, std::uint64_t size, std::uint64_t failAt = 0)
        : start_(std::move(start)), repeated_(std::move(repeated)), size_(size), failAt_(failAt) {}
    std::size_t Read(char* buffer, std::size_t size) override {
        if (failAt_ != 0 && delivered_ >= failAt_) {
            error_ = EIO;
            return 0;
        }
        std::size_t n = 0;
        for (; n < size && delivered_ < size_; ++n, ++delivered_)
            buffer[n] = delivered_ < start_.size()
                            ? start_[delivered_]
                            : repeated_[(delivered_ - start_.size()) % repeated_.size()];
        return n;
    }
    std::uint64_t delivered_ = 0;

private:
    std::string start_, repeated_;
    std::uint64_t size_, failAt_;
};

TEST_P(DataFileReaderTest, FileOfAnotherKindIsRecognisedByItsFirstWord) {
    struct Case {
        const char* name;
        std::string start;
    } cases[] = {{"other word", "Date\tTime\r\n"}, {"no whitespace at all", "xxxx"}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        GeneratedSource gigabyte(k.start, "x", std::uint64_t{1} << 30);
        const DataFileContent c = ReadDataFile(gigabyte, options);
        EXPECT_EQ(c.stop, DataFileStop::UnknownFormat);
        EXPECT_LT(gigabyte.delivered_, std::uint64_t{1} << 20);
    }
}

TEST_P(DataFileReaderTest, ReadFailurePartWayKeepsTheRowsBeforeIt) {
    const std::string header = FileWithRows(1, 0);
    const std::string row = "1\t09.12.2025\t12:00:01\t000\t 1\t 1\t 2\t 3\t 4\r\n";
    GeneratedSource failing(header, row, std::uint64_t{1} << 30, header.size() + 100 * row.size());
    std::vector<std::uint64_t> progress;
    options.progress = [&](std::uint64_t bytes) { progress.push_back(bytes); };
    const DataFileContent c = ReadDataFile(failing, options);
    EXPECT_EQ(c.stop, DataFileStop::ReadError);
    EXPECT_GE(c.storedRows, 100);
    EXPECT_TRUE(c.HasHeader());
    const auto messages = LoadMessages(c);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].caption, kCaptionWarning);
    EXPECT_NE(messages[0].text.find("Input/output error"), std::string::npos) << messages[0].text;
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), failing.delivered_);
}

TEST_P(DataFileReaderTest, RowNumberThatIsNoIntegerStopsTheLoad) {
    const std::string text = FileWithRows(1, 1) + "2x\t09.12.2025\t12:00:01\t000\t 1\t 1\t 2\t 3\t 4\r\n";
    const DataFileContent c = ParseDataFile(text, options);
    EXPECT_EQ(c.stop, DataFileStop::ConversionError);
    EXPECT_EQ(NumberTexts(c), (std::vector<std::string>{"1", "2x"}));
    EXPECT_EQ(Indices(c), (std::vector<int>{0, -1}));
    EXPECT_EQ(c.stopLine, 3);
}

TEST_P(DataFileReaderTest, FieldOfFortyNineCharactersIsRead) {
    const std::string date(49, 'D');
    const std::string text = FileWithRows(1, 0) + "1\t" + date + "\t12:00:01\t000\t 1\t 1\t 2\t 3\t 4\r\n";
    const DataFileContent c = ParseDataFile(text, options);
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    ASSERT_EQ(c.storedRows, 1);
    EXPECT_EQ(c.rows[0].subItems[0], date);
}

TEST_P(DataFileReaderTest, ShortTimeTextIsListedAndStoredButNotDrawn) {
    const DataFileContent c = ParseDataFile(FileWithRows(1, 1, "9:05:07"), options);
    ASSERT_EQ(c.storedRows, 1);
    EXPECT_FALSE(c.rows[0].drawn);
    EXPECT_EQ(c.rows[0].subItems[1], "9:05:07");
    EXPECT_TRUE(c.points.empty());
}

TEST_P(DataFileReaderTest, ApplyToStoreFillsTheTableAtTheRowIndices) {
    const DataFileContent c = Load("datafile_numbered_from_5.txt");
    TMeasData store(1);
    store.dataListPos = 7; // a previous recording, cleared as the load does first
    store.ClearDataList();
    ApplyToStore(c, store);
    EXPECT_EQ(store.GetDataListPos(), 2);
    EXPECT_FALSE(store.IsDataListWrapped());
    EXPECT_EQ(store.GetRowDate(0), "09.12.2025");
    EXPECT_EQ(store.GetRowTime(1), "12:00:02");
    EXPECT_EQ(store.GetRowMs(1), "750");
    EXPECT_EQ(store.GetRowMean(2), "10,0");
    EXPECT_EQ(store.GetRowMin(2), "9,5");
    EXPECT_EQ(store.GetRowMax(2), "10,5");
    EXPECT_EQ(store.GetRowMinAvr(2), "9,8");
    EXPECT_EQ(store.GetRowMaxAvr(2), "10,2");
}

// The time modes read the date with the regional formats, which these files follow in
// the comma locale.
class DataFileTimeModeTest : public testing::Test {
protected:
    DataFileTimeModeTest() {
        options.regional = &regional;
        options.graficMode = 1;
    }
    test::PortsScope scope;
    PosixRegionalSettings regional{"de_DE.UTF-8"};
    DataFileReadOptions options;
};

TEST_F(DataFileTimeModeTest, FirstDrawnRowIsAtZeroSeconds) {
    const DataFileContent c = LoadDataFile(TestDataPath("datafile_three_rows.txt"), options);
    ASSERT_EQ(c.stop, DataFileStop::EndOfFile);
    ASSERT_EQ(c.points.size(), 15u);
    EXPECT_DOUBLE_EQ(c.points[0].x, 0.0);
    EXPECT_DOUBLE_EQ(c.points[5].x, 1.5);   // 12:00:02.750 after 12:00:01.250
    EXPECT_DOUBLE_EQ(c.points[10].x, 1.75); // 12:00:03.000
    EXPECT_DOUBLE_EQ(*c.rows[2].xSeconds, 1.75);
    EXPECT_DOUBLE_EQ(c.rows[2].xNumber, 3.0);
}

TEST_F(DataFileTimeModeTest, DateThatTheRegionalFormatCannotReadStopsTheLoad) {
    PosixRegionalSettings pointLocale("en_US.UTF-8"); // expects 12/09/2025 12:00:01 PM
    options.regional = &pointLocale;
    const DataFileContent c = LoadDataFile(TestDataPath("datafile_three_rows.txt"), options);
    EXPECT_EQ(c.stop, DataFileStop::ConversionError);
    EXPECT_EQ(c.storedRows, 1);
    EXPECT_TRUE(c.points.empty());
    EXPECT_EQ(c.stopLine, 2);
}

TEST_F(DataFileTimeModeTest, NumberModeDoesNotNeedTheDate) {
    PosixRegionalSettings pointLocale("en_US.UTF-8");
    options.regional = &pointLocale;
    options.graficMode = 0;
    const DataFileContent c = LoadDataFile(TestDataPath("datafile_three_rows.txt"), options);
    EXPECT_EQ(c.stop, DataFileStop::EndOfFile);
    EXPECT_EQ(c.points.size(), 15u);
    EXPECT_FALSE(c.rows[0].xSeconds.has_value());
}

TEST_F(DataFileTimeModeTest, LoadedRowsGetTheirTimestamp) {
    const DataFileContent c = LoadDataFile(TestDataPath("datafile_three_rows.txt"), options);
    TMeasData store(1);
    ApplyToStore(c, store);
    EXPECT_NEAR((store.GetRowTimestamp(1) - store.GetRowTimestamp(0)) * 86400.0, 1.5, 1e-6);
}

} // namespace
} // namespace kantrel
