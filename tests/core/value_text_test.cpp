// Value texts read back into numbers: the regional separator, blanks, and texts that
// must give no number at all.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/value_text.h"

namespace kantrel {
namespace {

TEST(ValueTextTest, ReadsTheNumberATextShowsOrNothing) {
    const std::string longDigits = "537" + std::string(304, '0'); // 5.37e306 printed in full
    const struct {
        std::string text;
        const char* separator;
        std::optional<std::string> plain; // the digits with a point; nullopt: no number
        double value = 0.0;
    } cases[] = {
        {"  12,500", ",", "12.500", 12.5},
        {"-0,25", ",", "-0.25", -0.25},
        {"3.5", ".", "3.5", 3.5},
        {"+7", ".", "7", 7.0},
        {"+255.0", ".", "255.0", 255.0},
        {"1000", ",", "1000", 1000.0},
        {" 1.234e+09", ".", "1.234e+09", 1.234e9},
        {" 1,23457e+06", ",", "1.23457e+06", 1.23457e6},
        {"  -0.0", ".", "-0.0", -0.0},
        {" 255.0", ",", "255.0", 255.0}, // a point still reads where the separator is a comma
        {"12,5 \t", ",", "12.5", 12.5},
        {" " + longDigits + ",0", ",", longDigits + ".0", 5.37e306},
        {"", ",", std::nullopt},
        {"   ", ",", std::nullopt},
        {"abc", ",", std::nullopt},
        {"1,2,3", ",", std::nullopt},
        {"7 N", ",", std::nullopt},
        {" 255.0 N", ".", std::nullopt},
        {" 255,0", ".", std::nullopt},
        {" inf", ",", std::nullopt},
        {"-inf", ".", std::nullopt},
        {"infinity", ".", std::nullopt},
        {" nan", ",", std::nullopt},
        {"-nan", ".", std::nullopt},
        {"1e400", ".", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        const std::optional<ValueTextNumber> number = ReadValueText(c.text, c.separator);
        const std::optional<double> value = ParseValueText(c.text, c.separator);
        ASSERT_EQ(number.has_value(), c.plain.has_value());
        ASSERT_EQ(value.has_value(), c.plain.has_value());
        if (number) {
            EXPECT_EQ(number->plain, *c.plain);
            EXPECT_EQ(number->value, c.value);
            EXPECT_EQ(*value, c.value);
        }
    }
}

} // namespace
} // namespace kantrel
