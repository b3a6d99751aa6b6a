// Data sets recorded by the processing cycle, saved, loaded back and exported again,
// under a comma locale and under a point locale.

#include <gtest/gtest.h>

#include <charconv>

#include "files/data_file_reader.h"
#include "files/data_file_writer.h"
#include "measure/meas_data.h"
#include "platform/posix_regional_settings.h"
#include "support/measurement_fixture.h"
#include "support/test_environment.h"

namespace kantrel {
namespace {

const ListCaptions kCaptions{"Number",    "[Date]",    "[Time]",        "[Diff] = ms",  "[Value] = N",
                             "[Min] = N", "[Max] = N", "[MinFilt] = N", "[MaxFilt] = N"};

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

std::string JoinTabs(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "\t" : "") + fields[i];
    return line;
}

// The value of a recorded text, whichever separator it carries.
double ValueOf(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    if (auto comma = text.find(','); comma != std::string::npos)
        text[comma] = '.';
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

class DataFileRoundTripTest : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        scope.regional.separator = regional.DecimalSeparator();
        ports().regional = &regional;
        test::UseIdentityParameters(1000);
        // Data sets of different values, some seconds apart.
        const std::int16_t raws[] = {5, -12, 250, 0, 999, -1000};
        for (std::int16_t raw : raws) {
            recorded.RequestSingleShot();
            test::Feed(recorded, 100, raw);
            test::Feed(recorded, 1234, 1);
        }
        ASSERT_EQ(recorded.GetDataListPos(), 5);
        saved = BuildDataSetLines(kCaptions, recorded, 6);
        ASSERT_TRUE(SaveDataSetLines(path, saved));
    }

    DataFileContent Load(int graficMode) {
        DataFileReadOptions options;
        options.regional = &regional;
        options.graficMode = graficMode;
        return LoadDataFile(path, options);
    }

    test::PortsScope scope;
    PosixRegionalSettings regional{GetParam()};
    TMeasData recorded{100};
    std::vector<std::string> saved;
    std::string path = test::IsolatedEnvironment::Root() + "/round_trip.txt";
};

INSTANTIATE_TEST_SUITE_P(Locales, DataFileRoundTripTest, testing::Values("de_DE.UTF-8", "en_US.UTF-8"));

TEST_P(DataFileRoundTripTest, LoadedTableHoldsTheRecordedRows) {
    const DataFileContent content = Load(0);
    ASSERT_EQ(content.stop, DataFileStop::EndOfFile);
    TMeasData loaded(100);
    ApplyToStore(content, loaded);
    ASSERT_EQ(loaded.GetDataListPos(), recorded.GetDataListPos());
    auto trimmed = [](std::string text) { return text.erase(0, text.find_first_not_of(' ')); };
    for (int row = 0; row <= recorded.GetDataListPos(); ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(loaded.GetRowDate(row), recorded.GetRowDate(row));
        EXPECT_EQ(loaded.GetRowTime(row), recorded.GetRowTime(row));
        EXPECT_EQ(loaded.GetRowMs(row), recorded.GetRowMs(row));
        EXPECT_EQ(loaded.GetRowMean(row), trimmed(recorded.GetRowMean(row)));
        EXPECT_EQ(loaded.GetRowMin(row), trimmed(recorded.GetRowMin(row)));
        EXPECT_EQ(loaded.GetRowMax(row), trimmed(recorded.GetRowMax(row)));
        EXPECT_EQ(loaded.GetRowMinAvr(row), trimmed(recorded.GetRowMinAvr(row)));
        EXPECT_EQ(loaded.GetRowMaxAvr(row), trimmed(recorded.GetRowMaxAvr(row)));
        // The list shows the same texts as the table.
        EXPECT_EQ(content.rows[static_cast<std::size_t>(row)].subItems[3], loaded.GetRowMean(row));
    }
}

TEST_P(DataFileRoundTripTest, PointsLandWhereTheRecordedDataSetsWere) {
    const DataFileContent byNumber = Load(0);
    const DataFileContent byTime = Load(1);
    ASSERT_EQ(byNumber.stop, DataFileStop::EndOfFile);
    ASSERT_EQ(byTime.stop, DataFileStop::EndOfFile);
    ASSERT_EQ(byNumber.points.size(), 30u);
    ASSERT_EQ(byTime.points.size(), 30u);
    const double t0 = recorded.GetRowTimestamp(0);
    for (std::size_t i = 0; i < byNumber.points.size(); ++i) {
        SCOPED_TRACE(i);
        const int row = static_cast<int>(i / 5);
        const std::string texts[] = {recorded.GetRowMean(row), recorded.GetRowMin(row),
                                     recorded.GetRowMax(row), recorded.GetRowMinAvr(row),
                                     recorded.GetRowMaxAvr(row)};
        EXPECT_DOUBLE_EQ(byNumber.points[i].x, row + 1.0);
        EXPECT_DOUBLE_EQ(byNumber.points[i].y, ValueOf(texts[i % 5]));
        // The file keeps whole milliseconds.
        EXPECT_NEAR(byTime.points[i].x, (recorded.GetRowTimestamp(row) - t0) * 86400.0, 0.001);
        EXPECT_DOUBLE_EQ(byTime.points[i].y, byNumber.points[i].y);
    }
}

TEST_P(DataFileRoundTripTest, ExportOfLoadedRowsEqualsTheSavedFileButForBlanks) {
    const DataFileContent content = Load(0);
    TMeasData loaded(100);
    ApplyToStore(content, loaded);
    ListCaptions captions = content.captions;
    captions[0] = kCaptions[0]; // column 0 keeps its caption
    const std::vector<std::string> exported = BuildDataSetLines(captions, loaded, 6);

    ASSERT_EQ(exported.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i) {
        SCOPED_TRACE(saved[i]);
        std::vector<std::string> fields = SplitTabs(saved[i]);
        for (std::size_t f = i == 0 ? 3 : 4; f < 9; ++f)
            std::erase(fields[f], ' ');
        EXPECT_EQ(exported[i], JoinTabs(fields));
    }
}

} // namespace
} // namespace kantrel
