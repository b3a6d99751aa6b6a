#include <gtest/gtest.h>

#include <fmt/format.h>
#include <string>
#include <vector>

#include "measure/data_set_statistics.h"
#include "measure/histogram.h"
#include "measure/statistics_cases.h"
#include "settings/settings.h"

namespace kantrel {
namespace {

using test::kNaN;
using test::ListText;

DataSetStatistics FromTexts(const std::vector<ValueTexts>& rows, std::optional<Limits> limits = {},
                            const std::string& separator = ",") {
    DataSetStatisticsAccumulator accumulator(separator, limits);
    for (const ValueTexts& row : rows)
        accumulator.Add(row);
    return accumulator.Take();
}

TEST(DataSetStatistics, EveryColumnGivesTheFiguresOfTheCoreCases) {
    for (const test::StatisticsCase& c : test::kStatisticsCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> texts;
        for (const double v : c.values)
            texts.push_back(ListText(v));
        std::vector<ValueTexts> rows;
        for (const std::string& t : texts)
            rows.push_back({t, t, t, t, t});
        const DataSetStatistics s = FromTexts(rows, c.limits);

        test::ExpectFiguresOf(c, s.columns[0]);
        // The other columns are not judged.
        test::StatisticsCase unjudged = c;
        unjudged.pass = c.n;
        unjudged.low = unjudged.high = 0;
        unjudged.cp = unjudged.cpk = std::nullopt;
        for (int column = 1; column < kValueColumns; ++column) {
            SCOPED_TRACE(column);
            test::ExpectFiguresOf(unjudged, s.columns[static_cast<std::size_t>(column)]);
        }
        EXPECT_EQ(s.values.size(), c.n);
    }
}

TEST(DataSetStatistics, ColumnsAreReadApartAndTheirPrecisionKept) {
    const std::vector<ValueTexts> rows = {
        {" 1,5", " 1,25", " 2", "x", " 1,000"},
        {" 2,5", " 1,75", " 4", " 1", " 1,000"},
    };
    const DataSetStatistics s = FromTexts(rows);
    EXPECT_DOUBLE_EQ(s.columns[0].mean, 2.0);
    EXPECT_DOUBLE_EQ(s.columns[1].mean, 1.5);
    EXPECT_DOUBLE_EQ(s.columns[2].mean, 3.0);
    EXPECT_EQ(s.columns[3].n, 1u);
    EXPECT_EQ(s.columns[3].invalid, 1u);
    const std::array<int, kValueColumns> decimals = {1, 2, 0, 0, 3};
    EXPECT_EQ(s.decimals, decimals);
    EXPECT_EQ(s.values, (std::vector<double>{1.5, 2.5}));

    // A point locale reads the same texts with points.
    const DataSetStatistics point = FromTexts({{" 1.5", " 1.25", " 2", " 1", " 1.000"}}, {}, ".");
    EXPECT_EQ(point.columns[0].mean, 1.5);
    EXPECT_EQ(point.decimals[4], 3);
}

std::vector<std::string> Captions(const std::vector<StatisticsLine>& lines) {
    std::vector<std::string> captions;
    for (const StatisticsLine& line : lines)
        captions.emplace_back(line.caption);
    return captions;
}

TEST(DataSetStatistics, LinesOfFiguresWithAndWithoutLimits) {
    std::vector<ValueTexts> rows;
    for (const char* t : {" 9,8", " 10,1", " 10,0", " 9,9", " 10,2"})
        rows.push_back({t, t, t, t, t});

    struct Case {
        const char* name;
        std::optional<Limits> limits;
        std::vector<std::pair<std::string, std::string>> valueColumn; // caption, text
    } cases[] = {
        {"no limits",
         std::nullopt,
         {{"n", "5"},
          {"Mean", "10,00"},
          {"Standard deviation", "0,16"},
          {"Minimum", "9,8"},
          {"Maximum", "10,2"},
          {"Range", "0,4"}}},
        {"both limits",
         Limits{9.5, 10.5},
         {{"n", "5"},
          {"Mean", "10,00"},
          {"Standard deviation", "0,16"},
          {"Minimum", "9,8"},
          {"Maximum", "10,2"},
          {"Range", "0,4"},
          {"Low limit", "9,5"},
          {"High limit", "10,5"},
          {"Inside limits", "5"},
          {"Below low limit", "0"},
          {"Above high limit", "0"},
          {"Cp", "1,05"},
          {"Cpk", "1,05"}}},
        {"high limit only, two values above",
         Limits{std::nullopt, 10.05},
         {{"n", "5"},
          {"Mean", "10,00"},
          {"Standard deviation", "0,16"},
          {"Minimum", "9,8"},
          {"Maximum", "10,2"},
          {"Range", "0,4"},
          {"Low limit", "-"},
          {"High limit", "10,05"},
          {"Inside limits", "3"},
          {"Below low limit", "0"},
          {"Above high limit", "2"},
          {"Cp", "-"},
          {"Cpk", "0,11"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<StatisticsLine> lines = StatisticsLines(FromTexts(rows, c.limits), ",");
        ASSERT_EQ(lines.size(), c.valueColumn.size());
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].caption, c.valueColumn[i].first);
            EXPECT_EQ(lines[i].cells[0], c.valueColumn[i].second);
            // The limits judge only the Value.
            EXPECT_EQ(lines[i].cells[1].empty(), i >= 6) << lines[i].caption;
        }
    }
}

TEST(DataSetStatistics, FiguresThatDoNotExistShowAsDashes) {
    const std::vector<StatisticsLine> none = StatisticsLines(FromTexts({}), ",");
    EXPECT_EQ(Captions(none),
              (std::vector<std::string>{"n", "Mean", "Standard deviation", "Minimum", "Maximum", "Range"}));
    EXPECT_EQ(none[0].cells[0], "0");
    for (std::size_t i = 1; i < none.size(); ++i)
        EXPECT_EQ(none[i].cells[0], "-") << none[i].caption;

    const std::vector<StatisticsLine> one =
        StatisticsLines(FromTexts({{" 5,0", " 5,0", " 5,0", "", " 5,0"}}, Limits{1.0, 9.0}), ",");
    EXPECT_EQ(one[1].cells[0], "5,00");
    EXPECT_EQ(one[2].cells[0], "-"); // one value has no spread
    EXPECT_EQ(one[6].caption, "Not a number");
    EXPECT_EQ(one[6].cells[3], "1");
    EXPECT_EQ(one[6].cells[0], "0");
    EXPECT_EQ(one.back().caption, "Cpk");
    EXPECT_EQ(one.back().cells[0], "-");
}

TEST(DataSetStatistics, LimitsInEffect) {
    struct Case {
        bool on;
        std::optional<double> low, high;
        std::optional<Limits> effect;
    } cases[] = {
        {false, 1.0, 2.0, std::nullopt},
        {true, std::nullopt, std::nullopt, std::nullopt},
        {true, 1.0, std::nullopt, Limits{1.0, std::nullopt}},
        {true, std::nullopt, -2.0, Limits{std::nullopt, -2.0}},
        {true, 1.0, 2.0, Limits{1.0, 2.0}},
        {true, 2.0, 2.0, Limits{2.0, 2.0}},
        // No value could pass, and Cp would come out negative.
        {true, 2.0, 1.0, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.on << ' ' << c.low.value_or(kNaN) << ' ' << c.high.value_or(kNaN));
        Settings s;
        s.LimitsOn = c.on;
        s.LimitLow = c.low;
        s.LimitHigh = c.high;
        const std::optional<Limits> effect = LimitsInEffect(s);
        ASSERT_EQ(effect.has_value(), c.effect.has_value());
        if (effect) {
            EXPECT_EQ(effect->low, c.effect->low);
            EXPECT_EQ(effect->high, c.effect->high);
        }
    }
}

TEST(DataSetStatistics, NumberTexts) {
    struct Case {
        double value;
        int decimals;
        const char* separator;
        const char* text;
    } cases[] = {
        {10.0, 2, ",", "10,00"},           {-0.004, 2, ",", "0,00"},     {-0.006, 2, ",", "-0,01"},
        {1234.6, 0, ",", "1235"},          {-1234.5, 1, ".", "-1234.5"}, {0.5, 3, "\u066B", "0\u066B500"},
        {1e9 + 2, 1, ",", "1000000002,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(FormatFixed(c.value, c.decimals, c.separator), c.text);
    }
    EXPECT_EQ(FormatLimit(10.5, ","), "10,5");
    EXPECT_EQ(FormatLimit(-0.1, ","), "-0,1");
    EXPECT_EQ(FormatLimit(250.0, ","), "250");
}

TEST(Histogram, BinsSpanTheValues) {
    struct Case {
        const char* name;
        std::vector<double> values;
        double lower, width;
        std::vector<std::size_t> counts;
    } cases[] = {
        {"no values", {}, 0.0, 0.0, {}},
        {"one value", {10.0}, 9.9, 0.2, {1}},
        {"equal values", {0.0, 0.0, 0.0}, -0.5, 1.0, {3}},
        {"largest value in the last bin", {1.0, 2.0, 3.0, 4.0}, 1.0, 1.5, {2, 2}},
        {"not a number left out", {1.0, kNaN, 2.0, 3.0, 5.0}, 1.0, 2.0, {2, 2}},
        {"nine values, three bins", {0, 1, 2, 3, 4, 5, 6, 7, 9}, 0.0, 3.0, {3, 3, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Histogram h = MakeHistogram(c.values);
        EXPECT_NEAR(h.lower, c.lower, 1e-12);
        EXPECT_NEAR(h.binWidth, c.width, 1e-12);
        EXPECT_EQ(h.counts, c.counts);
    }
    std::vector<double> many(10240);
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i] = static_cast<double>(i % 97);
    const Histogram h = MakeHistogram(many);
    EXPECT_EQ(h.counts.size(), static_cast<std::size_t>(kMaxHistogramBins));
    std::size_t total = 0;
    for (const std::size_t count : h.counts)
        total += count;
    EXPECT_EQ(total, many.size());
    EXPECT_DOUBLE_EQ(h.Upper(), 96.0);
}

} // namespace
} // namespace kantrel
