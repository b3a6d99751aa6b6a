#include "device/device_parameters.h"

#include <algorithm>
#include <mutex>

namespace kantrel {

DeviceParameters deviceParameters;
std::atomic<std::uint32_t> readoutMask{0};

namespace {
std::mutex deviceParametersMutex;
}  // namespace

void WriteDeviceParameters(const std::function<void(DeviceParameters&)>& store) {
    std::lock_guard lock(deviceParametersMutex);
    store(deviceParameters);
}

DeviceParameters ReadDeviceParameters() {
    std::lock_guard lock(deviceParametersMutex);
    return deviceParameters;
}
bool hiResolution = false;
int sampleRateIndex = 0;

const std::array<const char*, kSampleRateCount> kSampleRateItems = {
    "  1 ms | 1000 Hz", "  2 ms |  500 Hz", "  5 ms |  200 Hz", " 10 ms |  100 Hz", " 20 ms |   50 Hz",
    " 50 ms |   20 Hz", "100 ms |   10 Hz", "200 ms |    5 Hz", "500 ms |    2 Hz", "   1 s |    1 Hz",
    "   2 s |  0,5 Hz", "   5 s |  0,2 Hz", "  10 s |  0,1 Hz"};

bool IsComplete() { return readoutMask.load(std::memory_order_acquire) == kReadoutComplete; }

int ClampSampleRateIndex(int rateIndex) { return std::clamp(rateIndex, 0, kSampleRateCount - 1); }

int AveragingCountFor(int rateIndex) {
    return kAveragingCounts[static_cast<std::size_t>(ClampSampleRateIndex(rateIndex))];
}

double RawToScaled(std::int16_t raw, const DeviceParameters& p) {
    const double x = raw;
    const double q = p.fullScale / kRawFullScale;
    return q * x - p.scaleOffset;
}

CalibrationResult ApplyCalibration(double scaled, const DeviceParameters& p) {
    const int n = std::min<int>(p.calPointCount, kMaxCalPoints);
    if (n < 2) return {true, scaled};

    // The first point from the second on whose input is not below the value ends the
    // segment; beyond the last point the last segment is extended. NaN never compares
    // as <=, so it lands on the last segment too.
    int i = 1;
    while (i < n && !(scaled <= p.calInput[static_cast<std::size_t>(i)])) ++i;
    if (i >= n) i = n - 1;

    const auto hi = static_cast<std::size_t>(i);
    const auto lo = hi - 1;
    const double d = p.calInput[hi] - p.calInput[lo];
    if (d == 0.0) return {false, 0.0};
    const double slope = (p.calOutput[hi] - p.calOutput[lo]) / d;
    const double intercept = p.calOutput[lo] - slope * p.calInput[lo];
    return {true, slope * scaled + intercept};
}

}  // namespace kantrel
