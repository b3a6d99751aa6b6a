#pragma once

// Statistics of a series of values (for example the Value column of the data sets) and
// the verdict of each value against a low and a high limit. Pure: no ports, no state
// beyond the accumulator's own.
//
//   mean  = sum / n
//   s     = sqrt(sum of (x - mean)^2 / (n - 1))        sample standard deviation, n >= 2
//   Cp    = (high - low) / 6s                            both limits
//   Cpk   = min(high - mean, mean - low) / 3s            the sides that are set
//
// Limits are inclusive: a value equal to a limit passes. A value that is not a finite
// number never passes; it is counted apart and left out of the moments.

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

namespace kantrel {

struct Limits {
    std::optional<double> low;
    std::optional<double> high;
    bool Any() const { return low.has_value() || high.has_value(); }
};

enum class Verdict { Pass, Low, High, Invalid };

// "PASS", "LOW", "HIGH", "INVALID".
std::string_view VerdictText(Verdict verdict);
Verdict Judge(double value, const Limits& limits);

struct Statistics {
    std::size_t n = 0;            // finite values
    double mean = 0.0;            // 0 when n is 0
    std::optional<double> stdDev; // sample standard deviation; needs n >= 2
    double min = 0.0, max = 0.0;  // 0 when n is 0
    double range = 0.0;           // max - min
    std::size_t pass = 0, low = 0, high = 0;
    std::size_t invalid = 0;   // values that are not finite numbers
    std::optional<double> cp;  // needs both limits and a standard deviation above 0
    std::optional<double> cpk; // needs a limit and a standard deviation above 0

    bool AllPassed() const { return low == 0 && high == 0 && invalid == 0; }
};

// Adds values one at a time (Welford's update, so that a long series of large, close
// values keeps its standard deviation) and counts the verdicts against its limits.
class StatisticsAccumulator {
public:
    explicit StatisticsAccumulator(Limits limits = {}) : limits_(limits) {}

    void Add(double value);
    void Clear() { *this = StatisticsAccumulator(limits_); }
    const Limits& limits() const { return limits_; }
    Statistics Result() const;

private:
    Limits limits_;
    std::size_t n_ = 0;
    double mean_ = 0.0;
    double m2_ = 0.0; // sum of squared deviations from the running mean
    double min_ = 0.0, max_ = 0.0;
    std::size_t pass_ = 0, low_ = 0, high_ = 0, invalid_ = 0;
};

Statistics ComputeStatistics(std::span<const double> values, const Limits& limits = {});

// The process capability indices alone; nullopt where they are not defined.
std::optional<double> ProcessCapability(const Limits& limits, double stdDev);
std::optional<double> ProcessCapabilityIndex(const Limits& limits, double mean, double stdDev);

} // namespace kantrel
