// Value texts read back into numbers for the chart: the regional separator, blanks, and
// texts that must give no point at all.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "measure/value_text.h"
#include "support/measurement_fixture.h"

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

class ChartFeedTest : public testing::Test {
protected:
    void SetUp() override { test::UseIdentityParameters(); }
    test::PortsScope scope;
};

// The recording's chart feed read the text through a buffer of 64 characters: a value
// printed with 300 digits reached the chart as a number with 64 digits.
TEST_F(ChartFeedTest, PointOfAValueWithALongTextEqualsTheText) {
    deviceParameters.calOutput = {0, 5.37e306, 0, 0, 0}; // raw 1000 reads 5.37e306
    TMeasData store(1);
    store.SetAutoRecording(true);
    test::PushSample(store, 0, 1000);
    store.ProcessSamples();
    ASSERT_GT(store.GetMeanText().size(), 64u);
    ASSERT_EQ(ParseValueText(store.GetMeanText(), ","), 5.37e306);
    const std::string texts[] = {store.GetMeanText(), store.GetMinText(), store.GetMaxText(),
                                 store.GetMinAvrText(), store.GetMaxAvrText()};
    ASSERT_EQ(scope.window.addedPoints.size(), 5u);
    for (const auto& point : scope.window.addedPoints) {
        SCOPED_TRACE(point.slot);
        EXPECT_EQ(point.y, ParseValueText(texts[point.slot], ","));
    }
}

} // namespace
} // namespace kantrel
