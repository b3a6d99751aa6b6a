// Axis label patterns and the label steps of the axes.

#include <gtest/gtest.h>

#include "ui/number_pattern.h"
#include "ui/pattern_ticker.h"

namespace kantrel::ui {
namespace {

TEST(NumberPatternTest, ParsesDigitsDecimalsAndGrouping) {
    const struct {
        const char* pattern;
        NumberPattern expected;
    } cases[] = {
        {"0", {1, 0, 0, false}},
        {"0.000", {1, 3, 3, false}},
        {"#.##0,###", {0, 3, 6, true}},
        {"#,##0.0#", {1, 1, 2, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern);
        const NumberPattern p = ParseNumberPattern(c.pattern);
        EXPECT_EQ(p.minIntegerDigits, c.expected.minIntegerDigits);
        EXPECT_EQ(p.minDecimals, c.expected.minDecimals);
        EXPECT_EQ(p.maxDecimals, c.expected.maxDecimals);
        EXPECT_EQ(p.grouping, c.expected.grouping);
    }
}

TEST(NumberPatternTest, FormatsWithTheLocaleSeparators) {
    const struct {
        const char* pattern;
        double value;
        const char* decimal;
        const char* group;
        const char* text;
    } cases[] = {
        {"#.##0,###", 0.5, ",", ".", ",500"}, // no "0" before the point below 1
        {"#.##0,###", -0.25, ",", ".", "-,250"},
        {"#.##0,###", 0.0, ",", ".", ",000"},
        {"#.##0,###", 1234.5, ",", ".", "1.234,500"},
        {"#.##0,###", 1234.5, ".", ",", "1,234.500"},
        {"#.##0,###", 12.3456789, ".", ",", "12.345679"}, // at most six decimals
        {"#.##0,###", 1234567.125, ",", ".", "1.234.567,125"},
        {"#.##0,###", -0.0000001, ".", ",", ".000"}, // rounds to zero: no sign
        {"0", 3.0, ",", ".", "3"},
        {"0", 0.0, ",", ".", "0"},
        {"0", 12345.0, ",", ".", "12345"}, // no grouping without ","
        {"0.000", 0.5, ",", ".", "0,500"},
        {"0.000", 2.0, ".", ",", "2.000"},
        {"0.000", -1.0006, ".", ",", "-1.001"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " " + c.text);
        EXPECT_EQ(FormatWithPattern(c.value, ParseNumberPattern(c.pattern), c.decimal, c.group), c.text);
    }
}

TEST(NumberPatternTest, TickStepNeverBelowTheLabelStep) {
    const struct {
        double step, labelStep, expected;
    } cases[] = {
        {0.5, 1, 1}, {0.25, 1, 1}, {2.5, 1, 5}, {2, 1, 2}, {20, 1, 20}, {0.0005, 0.001, 0.001}, {0.3, 0, 0.3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.step);
        EXPECT_NEAR(StepAtLeast(c.step, c.labelStep), c.expected, 1e-12);
    }
}

} // namespace
} // namespace kantrel::ui
