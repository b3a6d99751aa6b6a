#pragma once

// Statistics of data sets: one series per value column (Value, Min, Max, MinAvr, MaxAvr)
// read from the value texts as the list shows them, the limits that judge the Value, and
// the lines of figures that the statistics window, its clipboard copy and the report show.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/statistics.h"

namespace kantrel {

struct Settings;

inline constexpr int kValueColumns = 5; // Value, Min, Max, MinAvr, MaxAvr
using ValueTexts = std::array<std::string_view, kValueColumns>;

// The limits that judge the Value: none while they are switched off or neither is set,
// and none while the low limit lies above the high one (no value could pass).
std::optional<Limits> LimitsInEffect(const Settings& s);

struct DataSetStatistics {
    std::array<Statistics, kValueColumns> columns;
    // The most decimals among each column's number texts: the precision of the data.
    std::array<int, kValueColumns> decimals{};
    std::optional<Limits> limits; // judged the Value column
    std::vector<double> values;   // the numbers of the Value column, oldest first
};

// Adds the data sets one at a time. A text that is no finite number counts as "not a
// number" of its column and stays out of its figures.
class DataSetStatisticsAccumulator {
public:
    DataSetStatisticsAccumulator(std::string decimalSeparator, std::optional<Limits> limits);

    void Add(const ValueTexts& texts);
    // The statistics of the data sets added; the accumulator is spent afterwards.
    DataSetStatistics Take();

private:
    std::string separator_;
    std::array<StatisticsAccumulator, kValueColumns> columns_;
    DataSetStatistics result_;
};

// One line of figures: an English caption (translated where it is shown) and a text per
// value column; a column without that figure has an empty text.
struct StatisticsLine {
    std::string_view caption;
    std::array<std::string, kValueColumns> cells;
};

// n, mean, sample standard deviation, minimum, maximum and range of every column; the
// count of texts that are no number when there are any; with limits, the limits and the
// Value's counts inside, below and above and its Cp and Cpk. A figure that does not exist
// (the mean of nothing, the spread of one value, Cp with one limit) shows as "-". Means
// and standard deviations carry one decimal more than the data, Cp and Cpk two.
std::vector<StatisticsLine> StatisticsLines(const DataSetStatistics& statistics,
                                            std::string_view decimalSeparator);

// The number with `decimals` decimals and the given separator; never "-0".
std::string FormatFixed(double value, int decimals, std::string_view decimalSeparator);
// A limit as the operator enters it: as short as it reads back exactly.
std::string FormatLimit(double limit, std::string_view decimalSeparator);

} // namespace kantrel
