#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "measure/statistics.h"
#include "measure/statistics_cases.h"

namespace kantrel {
namespace {

using test::ExpectFiguresOf;
using test::kInf;
using test::kNaN;
using test::kStatisticsCases;
using test::StatisticsCase;

TEST(Statistics, TableOfIndependentlyComputedCases) {
    for (const StatisticsCase& c : kStatisticsCases) {
        SCOPED_TRACE(c.name);
        const Statistics s = ComputeStatistics(c.values, c.limits);
        ExpectFiguresOf(c, s);
        EXPECT_EQ(s.AllPassed(), c.low == 0 && c.high == 0 && c.invalid == 0);
    }
}

TEST(Statistics, AccumulatorAddedOneByOneMatchesTheSpan) {
    const std::vector<double> values = {12.5, 11.0, 13.25, 12.0, 12.75, 10.5};
    const Limits limits{11.0, 13.0};
    StatisticsAccumulator accumulator(limits);
    for (const double v : values)
        accumulator.Add(v);
    const Statistics added = accumulator.Result();
    const Statistics whole = ComputeStatistics(values, limits);
    EXPECT_EQ(added.n, whole.n);
    EXPECT_DOUBLE_EQ(added.mean, whole.mean);
    EXPECT_DOUBLE_EQ(*added.stdDev, *whole.stdDev);
    EXPECT_EQ(added.low, 1u);
    EXPECT_EQ(added.high, 1u);

    accumulator.Clear();
    EXPECT_EQ(accumulator.Result().n, 0u);
    EXPECT_EQ(accumulator.limits().high, 13.0);
}

TEST(Statistics, VerdictAgainstLimits) {
    struct VerdictCase {
        double value;
        Limits limits;
        Verdict verdict;
    };
    const VerdictCase cases[] = {
        {5.0, {}, Verdict::Pass},
        {-1e300, {}, Verdict::Pass},
        {4.9, {5.0, 6.0}, Verdict::Low},
        {5.0, {5.0, 6.0}, Verdict::Pass},
        {6.0, {5.0, 6.0}, Verdict::Pass},
        {6.1, {5.0, 6.0}, Verdict::High},
        {-100.0, {std::nullopt, 6.0}, Verdict::Pass},
        {100.0, {5.0, std::nullopt}, Verdict::Pass},
        {kNaN, {}, Verdict::Invalid},
        {kNaN, {5.0, 6.0}, Verdict::Invalid},
        {-kInf, {std::nullopt, 6.0}, Verdict::Invalid},
    };
    for (const VerdictCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value);
        EXPECT_EQ(Judge(c.value, c.limits), c.verdict);
    }
    EXPECT_EQ(VerdictText(Verdict::Pass), "PASS");
    EXPECT_EQ(VerdictText(Verdict::Low), "LOW");
    EXPECT_EQ(VerdictText(Verdict::High), "HIGH");
    EXPECT_EQ(VerdictText(Verdict::Invalid), "INVALID");
}

} // namespace
} // namespace kantrel
