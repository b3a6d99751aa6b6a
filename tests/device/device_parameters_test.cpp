#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "device/device_parameters.h"

namespace kantrel {
namespace {

DeviceParameters ThreePoints() {
    DeviceParameters p;
    p.calPointCount = 3;
    p.calInput = {0, 500, 1000, 0, 0};
    p.calOutput = {0, 510, 1000, 0, 0};
    return p;
}

TEST(RawToScaled, ScalesByFullScaleThenSubtractsOffset) {
    DeviceParameters p;
    p.fullScale = 1000;
    EXPECT_NEAR(RawToScaled(23542, p), 999.98513317, 1e-8);
    EXPECT_NEAR(RawToScaled(-32768, p), -1391.87464293, 1e-8);
    EXPECT_NEAR(RawToScaled(32767, p), 1391.83216629, 1e-8);
    p.scaleOffset = 5;
    EXPECT_NEAR(RawToScaled(23542, p), 994.98513317, 1e-8);
    EXPECT_NEAR(RawToScaled(-32768, p), -1396.87464293, 1e-8);
}

TEST(ApplyCalibration, InterpolatesAndExtrapolatesThreePoints) {
    const DeviceParameters p = ThreePoints();
    struct Case {
        double y, expected;
    } cases[] = {
        {250, 255},    {750, 755},   {-100, -102},  // first segment extended below
        {1100, 1098},                               // last segment extended above
        {500, 510},    {0, 0},       {1000, 1000},  // on a point: the segment ending there
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.y);
        const CalibrationResult r = ApplyCalibration(c.y, p);
        EXPECT_TRUE(r.ok);
        EXPECT_NEAR(r.value, c.expected, 1e-9);
    }
}

TEST(ApplyCalibration, PointCountAboveFiveUsesFive) {
    DeviceParameters p;
    p.calPointCount = 9;
    p.calInput = {0, 1, 2, 3, 4};
    p.calOutput = {0, 10, 20, 30, 40};
    const CalibrationResult r = ApplyCalibration(10, p);  // last (fifth) segment extended
    EXPECT_TRUE(r.ok);
    EXPECT_NEAR(r.value, 100, 1e-9);
}

TEST(ApplyCalibration, ZeroWidthSegmentIsAnErrorOnlyWhereTheSearchStops) {
    DeviceParameters p;
    p.calPointCount = 2;
    p.calInput = {0, 0, 0, 0, 0};
    p.calOutput = {0, 10, 0, 0, 0};
    for (double y : {0.0, -5.0, 5.0}) {
        const CalibrationResult r = ApplyCalibration(y, p);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.value, 0.0);
    }

    p.calPointCount = 5;
    p.calInput = {0, 100, 100, 200, 300};
    p.calOutput = {0, 100, 100, 300, 400};
    const CalibrationResult passed = ApplyCalibration(150, p);  // segment 100..200 (points 3 and 4)
    EXPECT_TRUE(passed.ok);
    EXPECT_NEAR(passed.value, 200, 1e-9);
}

TEST(ApplyCalibration, FewerThanTwoPointsPassTheScaledValueThrough) {
    DeviceParameters p;
    p.calInput = {7, 8, 9, 10, 11};
    p.calOutput = {70, 80, 90, 100, 110};
    for (std::uint8_t count : {0, 1}) {
        p.calPointCount = count;
        const CalibrationResult r = ApplyCalibration(123.5, p);
        EXPECT_TRUE(r.ok);
        EXPECT_EQ(r.value, 123.5);
    }
}

TEST(ApplyCalibration, NanFallsToTheLastSegment) {
    const CalibrationResult r = ApplyCalibration(std::numeric_limits<double>::quiet_NaN(), ThreePoints());
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(std::isnan(r.value));
}

TEST(ReadoutMask, CompleteOnlyWithEveryBitOfTheMask) {
    readoutMask = 0;
    EXPECT_FALSE(IsComplete());
    readoutMask = kReadoutComplete;
    EXPECT_TRUE(IsComplete());
    readoutMask = kReadoutComplete | 0x8;  // bits 3..5 are not part of it
    EXPECT_FALSE(IsComplete());
    readoutMask = kReadoutComplete & ~0x200000u;
    EXPECT_FALSE(IsComplete());
}

TEST(AveragingCounts, OutOfRangeIndexIsKeptInsideTheTable) {
    EXPECT_EQ(AveragingCountFor(6), 100);
    EXPECT_EQ(AveragingCountFor(-3), 1);
    EXPECT_EQ(AveragingCountFor(99), 10000);
}

}  // namespace
}  // namespace kantrel
