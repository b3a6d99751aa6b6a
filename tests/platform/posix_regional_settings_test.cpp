#include <gtest/gtest.h>

#include "core/date_time.h"
#include "measure/format_value.h"
#include "platform/posix_regional_settings.h"

namespace kantrel {
namespace {

const CivilDateTime kMorning{2026, 3, 4, 9, 5, 7, 250};

TEST(PosixRegionalSettings, CommaLocale) {
    PosixRegionalSettings de("de_DE.UTF-8");
    ASSERT_EQ(de.DecimalSeparator(), ",") << "the de_DE.UTF-8 locale must be installed";
    EXPECT_EQ(de.FormatLongTime(kMorning), "09:05:07");
    EXPECT_EQ(de.FormatShortDate(kMorning), "04.03.2026");
    EXPECT_EQ(FormatValue(123.456, 1000, false, de.DecimalSeparator()), " 123,5");
    const auto parsed = de.ParseDateTime("04.03.2026 09:05:07");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, EncodeDateTime(CivilDateTime{2026, 3, 4, 9, 5, 7, 0}));
}

TEST(PosixRegionalSettings, PointLocale) {
    PosixRegionalSettings us("en_US.UTF-8");
    ASSERT_EQ(us.DecimalSeparator(), ".");
    EXPECT_EQ(us.FormatShortDate(kMorning), "03/04/2026");
    const std::string time = us.FormatLongTime(kMorning);  // 12-hour clock with AM/PM
    EXPECT_EQ(time, "09:05:07 AM");
    const auto parsed = us.ParseDateTime("03/04/2026 09:05:07 PM");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(*parsed, EncodeDateTime(CivilDateTime{2026, 3, 4, 21, 5, 7, 0}));
}

TEST(PosixRegionalSettings, UnknownLocaleFallsBackToC) {
    PosixRegionalSettings c("xx_NOWHERE.UTF-8");
    EXPECT_EQ(c.DecimalSeparator(), ".");
    EXPECT_EQ(c.FormatLongTime(kMorning), "09:05:07");
    EXPECT_FALSE(c.ParseDateTime("no date").has_value());
}

TEST(DateTime, DecodeEncodeRoundTrip) {
    const CivilDateTime t{2026, 12, 31, 23, 59, 59, 999};
    const CivilDateTime back = DecodeDateTime(EncodeDateTime(t));
    EXPECT_EQ(back.year, 2026);
    EXPECT_EQ(back.month, 12);
    EXPECT_EQ(back.day, 31);
    EXPECT_EQ(back.hour, 23);
    EXPECT_EQ(back.second, 59);
    EXPECT_EQ(back.millisecond, 999);
    EXPECT_EQ(EncodeDateTime(CivilDateTime{1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_EQ(EncodeDateTime(CivilDateTime{1900, 1, 1, 12, 0, 0, 0}), 2.5);
}

}  // namespace
}  // namespace kantrel
