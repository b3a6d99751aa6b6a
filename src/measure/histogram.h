#pragma once

// The distribution of a series of values as equally wide bins.

#include <cstddef>
#include <span>
#include <vector>

namespace kantrel {

inline constexpr int kMaxHistogramBins = 50;

struct Histogram {
    double lower = 0.0;              // left edge of the first bin
    double binWidth = 0.0;           // 0 when there are no bins
    std::vector<std::size_t> counts; // one per bin; the last bin includes its right edge

    double Upper() const { return lower + binWidth * static_cast<double>(counts.size()); }
};

// The square root of the count as the number of bins, 1 to kMaxHistogramBins, spanning
// the smallest to the largest value. Values that are all equal share one bin around them.
// Values that are not finite numbers are left out.
Histogram MakeHistogram(std::span<const double> values);

} // namespace kantrel
