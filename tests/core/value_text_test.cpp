// Value texts read back into numbers: the regional separator, blanks, and texts that
// must give no number at all.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/value_text.h"

namespace kantrel {
namespace {

TEST(ValueTextTest, ReadsTheNumberATextShowsOrNothing) {
    const std::string longFixed = " 537" + std::string(304, '0') + ",0"; // 5.37e306 printed in full
    const struct {
        std::string text;
        const char* separator;
        std::optional<double> value;
    } cases[] = {
        {"  12,500", ",", 12.5},
        {"-0,25", ",", -0.25},
        {"3.5", ".", 3.5},
        {"+7", ".", 7.0},
        {"1000", ",", 1000.0},
        {" 1.234e+09", ".", 1.234e9},
        {longFixed, ",", 5.37e306},
        {"", ",", std::nullopt},
        {"   ", ",", std::nullopt},
        {"abc", ",", std::nullopt},
        {"1,2,3", ",", std::nullopt},
        {"7 N", ",", std::nullopt},
        {" inf", ",", std::nullopt},
        {"-inf", ".", std::nullopt},
        {"infinity", ".", std::nullopt},
        {" nan", ",", std::nullopt},
        {"-nan", ".", std::nullopt},
        {"1e400", ".", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        EXPECT_EQ(ParseValueText(c.text, c.separator), c.value);
    }
}

} // namespace
} // namespace kantrel
