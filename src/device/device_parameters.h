#pragma once

// What the instrument reports about itself at start-up, and the conversion of a raw
// count into a value in the sensor's unit: linear scaling, then a piecewise-linear
// calibration of up to five points.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace kantrel {

inline constexpr double kRawFullScale = 23542.35;  // raw count that corresponds to fullScale
inline constexpr int kMaxCalPoints = 5;

struct DeviceParameters {
    double fullScale = 0.0;    // "#Z16"
    double scaleOffset = 0.0;  // "#Z17"
    std::string deviceSerial;  // "#Z18", at most 20 characters
    double nominalValue = 0.0; // "#Z61"
    std::int32_t param62 = 0;  // "#Z62"
    std::int32_t param63 = 0;  // "#Z63"
    std::array<double, kMaxCalPoints> calOutput{};  // "#Z64", "#Z66", ... "#Z72"
    std::array<double, kMaxCalPoints> calInput{};   // "#Z65", "#Z67", ... "#Z73"
    std::uint8_t calPointCount = 0;                 // "#Z74"; above 5 counts as 5
    std::string unitText;      // "#Z75", at most 8 characters
    std::string sensorSerial;  // "#Z76", at most 20 characters
};

// The one record of the process. Written by the command thread's answer handler only,
// each field once per connection, before its readoutMask bit is published; the main
// thread reads it without a lock once readoutMask is complete. A reader that may come
// earlier takes a copy under the writer's lock (ReadDeviceParameters).
extern DeviceParameters deviceParameters;

// Runs store on deviceParameters under the lock (command thread).
void WriteDeviceParameters(const std::function<void(DeviceParameters&)>& store);
// A copy of deviceParameters taken under the lock.
DeviceParameters ReadDeviceParameters();

// One bit per answered parameter; the command thread publishes a bit (release) after
// it has stored the field, readers load the mask with acquire.
extern std::atomic<std::uint32_t> readoutMask;
inline constexpr std::uint32_t kReadoutComplete = 0x3FFFC7;  // bits 3..5 are never set

bool IsComplete();

// Program-side acquisition settings kept beside the record (main thread only).
extern bool hiResolution;
extern int sampleRateIndex;  // 0..12, item index of the sample-rate box

inline constexpr int kSampleRateCount = 13;
inline constexpr std::array<int, kSampleRateCount> kAveragingCounts = {
    1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000, 10000};
extern const std::array<const char*, kSampleRateCount> kSampleRateItems;

// kAveragingCounts[index] with the index kept inside the table.
int AveragingCountFor(int rateIndex);
int ClampSampleRateIndex(int rateIndex);

double RawToScaled(std::int16_t raw, const DeviceParameters& p = deviceParameters);

struct CalibrationResult {
    bool ok = false;
    double value = 0.0;  // 0.0 when !ok
};
// A table of fewer than two points has no segment to interpolate on: the scaled value
// is then passed through unchanged (ok), so an uncalibrated sensor still measures.
CalibrationResult ApplyCalibration(double scaled, const DeviceParameters& p = deviceParameters);

}  // namespace kantrel
