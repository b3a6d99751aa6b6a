#pragma once

// Series of values with their statistics, computed independently of the program: the
// cases of the core's statistics and of every place that shows them.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <fmt/format.h>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "measure/statistics.h"

namespace kantrel::test {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();

struct StatisticsCase {
    const char* name;
    std::vector<double> values;
    Limits limits;
    std::size_t n;
    double mean;
    std::optional<double> stdDev;
    double min, max, range;
    std::size_t pass, low, high, invalid;
    std::optional<double> cp, cpk;
};

// Expected figures computed independently with Python 3 (statistics.fmean and
// statistics.stdev, Cp and Cpk from their definitions), except the cases without a
// standard deviation, which are plain by hand.
// clang-format off
inline const StatisticsCase kStatisticsCases[] = {
    // name, values, limits,
    //   n, mean, s, min, max, range, pass, low, high, invalid, Cp, Cpk
    {"no values", {}, {},
     0, 0.0, std::nullopt, 0.0, 0.0, 0.0, 0, 0, 0, 0, std::nullopt, std::nullopt},
    {"one value has no spread", {5.0}, {1.0, 9.0},
     1, 5.0, std::nullopt, 5.0, 5.0, 0.0, 1, 0, 0, 0, std::nullopt, std::nullopt},
    {"one to five", {1, 2, 3, 4, 5}, {},
     5, 3.0, 1.5811388300841898, 1, 5, 4, 5, 0, 0, 0, std::nullopt, std::nullopt},
    {"mixed signs", {-3.5, 0.25, 7.0, 2.0}, {},
     4, 1.4375, 4.360690885628102, -3.5, 7.0, 10.5, 4, 0, 0, 0, std::nullopt, std::nullopt},
    {"centred between both limits", {9.8, 10.1, 10.0, 9.9, 10.2}, {9.5, 10.5},
     5, 10.0, 0.15811388300841842, 9.8, 10.2, 0.3999999999999986, 5, 0, 0, 0,
     1.0540925533894636, 1.0540925533894636},
    {"off centre: Cpk takes the nearer limit", {9.8, 10.1, 10.0, 9.9, 10.2}, {9.6, 10.3},
     5, 10.0, 0.15811388300841842, 9.8, 10.2, 0.3999999999999986, 5, 0, 0, 0,
     0.7378647873726256, 0.6324555320336797},
    {"low limit only", {9.8, 10.1, 10.0, 9.9, 10.2}, {9.6, std::nullopt},
     5, 10.0, 0.15811388300841842, 9.8, 10.2, 0.3999999999999986, 5, 0, 0, 0,
     std::nullopt, 0.8432740427115716},
    {"high limit only", {9.8, 10.1, 10.0, 9.9, 10.2}, {std::nullopt, 10.3},
     5, 10.0, 0.15811388300841842, 9.8, 10.2, 0.3999999999999986, 5, 0, 0, 0,
     std::nullopt, 0.6324555320336797},
    {"mean below the low limit: Cpk negative", {9.8, 10.1, 10.0, 9.9, 10.2}, {10.05, 12.0},
     5, 10.0, 0.15811388300841842, 9.8, 10.2, 0.3999999999999986, 2, 3, 0, 0,
     2.055480479109453, -0.10540925533894785},
    {"values on the limits pass", {250.0, 255.0, 260.0}, {250.0, 260.0},
     3, 255.0, 5.0, 250.0, 260.0, 10.0, 3, 0, 0, 0, 0.3333333333333333, 0.3333333333333333},
    {"outside on both sides", {249.9, 255.0, 260.1, 270.0}, {250.0, 260.0},
     4, 258.75, 8.578461400507669, 249.9, 270.0, 20.099999999999994, 1, 1, 2, 0,
     0.19428503420998483, 0.04857125855249621},
    {"no spread: no capability", {7.0, 7.0, 7.0}, {6.0, 8.0},
     3, 7.0, 0.0, 7.0, 7.0, 0.0, 3, 0, 0, 0, std::nullopt, std::nullopt},
    // A plain sum of squares would lose the spread of large, close values.
    {"large values close together", {1e9 + 1, 1e9 + 2, 1e9 + 3}, {},
     3, 1e9 + 2, 1.0, 1e9 + 1, 1e9 + 3, 2.0, 3, 0, 0, 0, std::nullopt, std::nullopt},
    {"not a number is counted apart", {1.0, kNaN, 3.0, kInf}, {0.0, 10.0},
     2, 2.0, 1.4142135623730951, 1.0, 3.0, 2.0, 2, 0, 0, 2, 1.178511301977579, 0.4714045207910316},
};
// clang-format on

inline void ExpectClose(const std::optional<double>& actual, const std::optional<double>& expected,
                        const char* what) {
    SCOPED_TRACE(what);
    ASSERT_EQ(actual.has_value(), expected.has_value());
    if (expected) {
        EXPECT_NEAR(*actual, *expected, 1e-12 * std::max(1.0, std::fabs(*expected)));
    }
}

// A value as the list shows it: a blank in place of the plus sign, the given separator.
inline std::string ListText(double value, char separator = ',') {
    std::string text = fmt::format("{}", value);
    if (const auto point = text.find('.'); point != std::string::npos)
        text[point] = separator;
    return value >= 0 ? " " + text : text;
}

// Every figure of the case.
inline void ExpectFiguresOf(const StatisticsCase& c, const Statistics& s) {
    EXPECT_EQ(s.n, c.n);
    EXPECT_NEAR(s.mean, c.mean, 1e-12 * std::max(1.0, std::fabs(c.mean)));
    ExpectClose(s.stdDev, c.stdDev, "standard deviation");
    EXPECT_EQ(s.min, c.min);
    EXPECT_EQ(s.max, c.max);
    EXPECT_NEAR(s.range, c.range, 1e-12 * std::max(1.0, c.range));
    EXPECT_EQ(s.pass, c.pass);
    EXPECT_EQ(s.low, c.low);
    EXPECT_EQ(s.high, c.high);
    EXPECT_EQ(s.invalid, c.invalid);
    ExpectClose(s.cp, c.cp, "Cp");
    ExpectClose(s.cpk, c.cpk, "Cpk");
}

} // namespace kantrel::test
