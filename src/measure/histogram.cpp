#include "measure/histogram.h"

#include <algorithm>
#include <cmath>

namespace kantrel {

Histogram MakeHistogram(std::span<const double> values) {
    Histogram h;
    std::size_t n = 0;
    double low = 0.0, high = 0.0;
    for (const double v : values) {
        if (!std::isfinite(v))
            continue;
        low = n ? std::min(low, v) : v;
        high = n ? std::max(high, v) : v;
        ++n;
    }
    if (n == 0)
        return h;
    if (!(high > low)) {
        // One bin, as wide as a small part of the value, centred on it.
        h.binWidth = low == 0.0 ? 1.0 : std::fabs(low) * 0.02;
        h.lower = low - h.binWidth / 2;
        h.counts = {n};
        return h;
    }
    const auto bins = static_cast<std::size_t>(
        std::clamp(static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n)))), 1, kMaxHistogramBins));
    h.lower = low;
    h.binWidth = (high - low) / static_cast<double>(bins);
    h.counts.assign(bins, 0);
    for (const double v : values) {
        if (!std::isfinite(v))
            continue;
        // Rounding may put the largest value just past the last bin.
        const auto bin = static_cast<std::size_t>(std::max(0.0, std::floor((v - low) / h.binWidth)));
        ++h.counts[std::min(bin, bins - 1)];
    }
    return h;
}

} // namespace kantrel
