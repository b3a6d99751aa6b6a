#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>

#include "core/value_text.h"
#include "device/device_parameters.h"
#include "measure/format_value.h"

namespace kantrel {
namespace {

struct Case {
    double nominal;
    bool hiRes;
    double value;
    double step;
    const char* text;  // with '.' as separator
};

// The worked examples of the rounding ladder.
const Case kWorkedExamples[] = {
    {1000, false, 123.456, 100, " 123.5"},
    {1000, false, 300, 200, " 300.0"},
    {1000, false, -987.654, 500, "-987.5"},
    {1000, false, 0, 100, "   0.0"},
    {1000, false, 0.05, 100, "   0.1"},
    {1000, true, 123.456, 100, " 123.46"},
    {5, false, 0.1234, 0.5, " 0.1235"},
    {5, false, 4.9, 2, " 4.900"},
    {2, false, 1.9996, 1, " 2.000"},
    {20000, false, 15000, 10000, " 15000"},
    {250000, false, 123456, 100000, " 123500"},
};

TEST(FormatValue, WorkedExamplesUnderPointAndComma) {
    for (const char* separator : {".", ","}) {
        for (const Case& c : kWorkedExamples) {
            SCOPED_TRACE(testing::Message() << c.nominal << " " << c.value << " sep " << separator);
            EXPECT_EQ(RoundingStep(c.nominal, c.value), c.step);
            std::string expected = c.text;
            if (auto dot = expected.find('.'); dot != std::string::npos) expected.replace(dot, 1, separator);
            EXPECT_EQ(FormatValue(c.value, c.nominal, c.hiRes, separator), expected);
        }
    }
}

TEST(FormatValue, LadderRowFollowsNominalValueTimesPointNineNine) {
    EXPECT_EQ(RoundingStep(1000, 999), 500);    // x = 990: row 1000
    EXPECT_EQ(RoundingStep(1011, 999), 500);    // x = 1000.89: row 2500, middle step 500
    EXPECT_EQ(RoundingStep(1011, 1000), 1000);  // coarse: 1000 > 0.9995 * 1000
    EXPECT_EQ(RoundingStep(0, 0), 0.1);         // parameters not read yet: first row
    EXPECT_EQ(RoundingStep(600000, 12345), 1);  // above the ladder
}

TEST(FormatValue, StepBoundariesAreStrict) {
    // Row 1000: a = 500, c = 200, d = 100.
    EXPECT_EQ(RoundingStep(1000, 0.9995 * 500), 200);
    EXPECT_EQ(RoundingStep(1000, 500), 500);
    EXPECT_EQ(RoundingStep(1000, 200), 100);
    EXPECT_EQ(RoundingStep(1000, 200.001), 200);
}

TEST(FormatValue, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(FormatValue(0.05, 1000, false, "."), "   0.1");
    EXPECT_EQ(FormatValue(-0.05, 1000, false, "."), "  -0.1");
    EXPECT_EQ(FormatValue(-0.04, 1000, false, "."), "  -0.0");
}

TEST(FormatValue, WideTextsAreNotCut) {
    EXPECT_EQ(FormatValue(-1234.5, 1000, false, "."), "-1234.5");
}

TEST(FormatValue, MultiByteSeparatorReplacesThePoint) {
    EXPECT_EQ(FormatValue(123.456, 1000, false, "\xD9\xAB"), " 123\xD9\xAB" "5");
}

TEST(FormatValue, NonFiniteAndHugeValuesGiveDefinedTexts) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(FormatValue(nan, 1000, false, ","), "   nan");
    EXPECT_EQ(FormatValue(inf, 1000, false, ","), "   inf");
    EXPECT_EQ(FormatValue(-inf, 1000, false, ","), "  -inf");
    EXPECT_EQ(FormatValue(1e300, 1000, false, ","), FormatValue(1e300, 1000, false, ","));  // no crash
    EXPECT_FALSE(FormatValue(5e9, 5, false, ".").empty());
    EXPECT_FALSE(FormatValue(1.0, nan, false, ".").empty());
}

TEST(FormatValue, ReadValueTextGivesTheShownDigitsWithAPoint) {
    // Every worked example read back under both separators.
    for (const char* separator : {".", ",", "\xD9\xAB"}) {
        for (const Case& c : kWorkedExamples) {
            SCOPED_TRACE(testing::Message() << c.value << " sep " << separator);
            const auto number = ReadValueText(FormatValue(c.value, c.nominal, c.hiRes, separator), separator);
            ASSERT_TRUE(number);
            std::string plain = c.text;
            plain.erase(0, plain.find_first_not_of(' '));
            EXPECT_EQ(number->plain, plain);
            EXPECT_EQ(number->value, std::stod(plain));
        }
    }
}

// The rounding quotient (value / increment) overflows above about 1.8e304; the text
// must still be the finite value, never "inf".
TEST(FormatValue, FiniteValuesBeyondTheRoundingRangeKeepTheirValue) {
    const double max = std::numeric_limits<double>::max();
    struct Case {
        double nominal;
        bool hiRes;
        double value;
    } cases[] = {
        {0, false, 1.8e304},    {0, true, 1.8e303},    {1000, false, 5e305}, {1000, true, -5e305},
        {600000, false, 2e306}, {250000, true, 3e307}, {0, false, max},      {0, true, -max},
        {600000, false, max},   {250000, false, -max}, {1e308, true, 1e308},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.nominal << " " << c.hiRes << " " << c.value);
        const std::string text = FormatValue(c.value, c.nominal, c.hiRes, ".");
        EXPECT_EQ(text.find("inf"), std::string::npos) << text.substr(0, 40);
        const std::size_t start = text.find_first_not_of(' ');
        ASSERT_NE(start, std::string::npos);
        double back = 0.0;
        const auto [end, ec] = std::from_chars(text.data() + start, text.data() + text.size(), back);
        EXPECT_EQ(ec, std::errc());
        EXPECT_EQ(end, text.data() + text.size());
        EXPECT_NEAR(back / c.value, 1.0, 1e-5); // six significant digits at the least
    }
}

TEST(FormatValue, UsesDeviceNominalValueAndResolution) {
    deviceParameters.nominalValue = 1000;
    hiResolution = true;
    EXPECT_EQ(FormatValue(123.456), " 123.46");  // default regional separator is '.'
    hiResolution = false;
    EXPECT_EQ(FormatValue(123.456), " 123.5");
}

}  // namespace
}  // namespace kantrel
