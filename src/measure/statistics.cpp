#include "measure/statistics.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kantrel {

std::string_view VerdictText(Verdict verdict) {
    switch (verdict) {
    case Verdict::Pass:
        return "PASS";
    case Verdict::Low:
        return "LOW";
    case Verdict::High:
        return "HIGH";
    case Verdict::Invalid:
        break;
    }
    return "INVALID";
}

Verdict Judge(double value, const Limits& limits) {
    // A NaN compares false with everything and would pass every limit.
    if (!std::isfinite(value))
        return Verdict::Invalid;
    if (limits.low && value < *limits.low)
        return Verdict::Low;
    if (limits.high && value > *limits.high)
        return Verdict::High;
    return Verdict::Pass;
}

void StatisticsAccumulator::Add(double value) {
    switch (Judge(value, limits_)) {
    case Verdict::Pass:
        ++pass_;
        break;
    case Verdict::Low:
        ++low_;
        break;
    case Verdict::High:
        ++high_;
        break;
    case Verdict::Invalid:
        ++invalid_;
        return;
    }
    ++n_;
    if (n_ == 1) {
        min_ = max_ = value;
    } else {
        min_ = std::min(min_, value);
        max_ = std::max(max_, value);
    }
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(n_);
    m2_ += delta * (value - mean_);
}

Statistics StatisticsAccumulator::Result() const {
    Statistics s;
    s.n = n_;
    s.mean = mean_;
    s.min = min_;
    s.max = max_;
    s.range = max_ - min_;
    s.pass = pass_;
    s.low = low_;
    s.high = high_;
    s.invalid = invalid_;
    if (n_ >= 2) {
        s.stdDev = std::sqrt(std::max(0.0, m2_) / static_cast<double>(n_ - 1));
        s.cp = ProcessCapability(limits_, *s.stdDev);
        s.cpk = ProcessCapabilityIndex(limits_, mean_, *s.stdDev);
    }
    return s;
}

Statistics ComputeStatistics(std::span<const double> values, const Limits& limits) {
    StatisticsAccumulator accumulator(limits);
    for (const double v : values)
        accumulator.Add(v);
    return accumulator.Result();
}

std::optional<double> ProcessCapability(const Limits& limits, double stdDev) {
    if (!limits.low || !limits.high || !(stdDev > 0.0))
        return std::nullopt;
    return (*limits.high - *limits.low) / (6.0 * stdDev);
}

std::optional<double> ProcessCapabilityIndex(const Limits& limits, double mean, double stdDev) {
    if (!limits.Any() || !(stdDev > 0.0))
        return std::nullopt;
    // With one limit only, the index of that side.
    double distance = std::numeric_limits<double>::infinity();
    if (limits.high)
        distance = std::min(distance, *limits.high - mean);
    if (limits.low)
        distance = std::min(distance, mean - *limits.low);
    return distance / (3.0 * stdDev);
}

} // namespace kantrel
