#include "sim/signal.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "device/device_parameters.h"

namespace kantrel::sim {

namespace {

// Uniform in [-1, 1), a pure function of seed and time.
double NoiseAt(std::uint32_t seed, std::int64_t tMs) {
    std::uint64_t z = (static_cast<std::uint64_t>(seed) << 32) ^ static_cast<std::uint64_t>(tMs);
    z += 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<double>(z >> 11) / static_cast<double>(1ull << 52) - 1.0;
}

double Phase(std::int64_t tMs, std::int64_t periodMs) {
    const std::int64_t period = std::max<std::int64_t>(periodMs, 1);
    return static_cast<double>(((tMs % period) + period) % period) / static_cast<double>(period);
}

} // namespace

double SignalValue(const Scenario& s, std::int64_t tMs) {
    double value = s.level;
    switch (s.shape) {
    case SignalShape::Constant:
    case SignalShape::File:
        break;
    case SignalShape::Ramp:
        value += s.amplitude * Phase(tMs, s.periodMs);
        break;
    case SignalShape::Sine:
        value += s.amplitude * std::sin(2.0 * std::numbers::pi * Phase(tMs, s.periodMs));
        break;
    case SignalShape::Steps:
        if (Phase(tMs, s.periodMs) >= 0.5)
            value += s.amplitude;
        break;
    }
    if (s.noise != 0.0)
        value += s.noise * NoiseAt(s.seed, tMs);
    return value;
}

std::int16_t ValueToRaw(const Scenario& s, double value) {
    if (s.fullScale == 0.0 || !std::isfinite(value))
        return 0;
    const double raw = std::round((value + s.scaleOffset) * kRawFullScale / s.fullScale);
    // A scale that is no number gives no count; clamping would keep the NaN.
    if (std::isnan(raw))
        return 0;
    return static_cast<std::int16_t>(std::clamp(raw, -32768.0, 32767.0));
}

std::int16_t RawCountAt(const Scenario& s, std::int64_t tMs) {
    if (s.shape == SignalShape::File && !s.rawCounts.empty()) {
        const auto n = static_cast<std::int64_t>(s.rawCounts.size());
        return s.rawCounts[static_cast<std::size_t>(((tMs % n) + n) % n)];
    }
    return ValueToRaw(s, SignalValue(s, tMs));
}

} // namespace kantrel::sim
