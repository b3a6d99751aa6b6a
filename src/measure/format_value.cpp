#include "measure/format_value.h"

#include <array>
#include <cmath>
#include <fmt/format.h>

#include "core/ports.h"
#include "device/device_parameters.h"

namespace kantrel {
namespace {

struct LadderRow {
    double limit;  // applies when nominal value x 0.99 <= limit
    double coarse, middle, fine;
};

// The rounding-step ladder in thousandths of the unit.
constexpr std::array<LadderRow, 18> kLadder = {{
    {1, 0.5, 0.2, 0.1},
    {2.5, 1, 0.5, 0.2},
    {5, 2, 1, 0.5},
    {10, 5, 2, 1},
    {25, 10, 5, 2},
    {50, 20, 10, 5},
    {100, 50, 20, 10},
    {250, 100, 50, 20},
    {500, 200, 100, 50},
    {1000, 500, 200, 100},
    {2500, 1000, 500, 200},
    {5000, 2000, 1000, 500},
    {10000, 5000, 2000, 1000},
    {25000, 10000, 5000, 2000},
    {50000, 20000, 10000, 5000},
    {100000, 50000, 20000, 10000},
    {250000, 100000, 50000, 20000},
    {500000, 200000, 100000, 50000},
}};

// Decimals for a step, or -1 for six significant digits.
int DecimalsFor(double step, bool hiRes) {
    int n;
    if (step < 1) n = 4;
    else if (step < 10) n = 3;
    else if (step < 100) n = 2;
    else if (step < 1000) n = 1;
    else if (step < 100000) n = 0;
    else return -1;
    return hiRes ? n + 1 : n;
}

double RoundToIncrement(double v, double increment) {
    if (!(increment > 0.0)) return v;
    // Halves away from zero. The count is an unsigned 32-bit number in the classic
    // formula; beyond its range the truncated quotient is used as it stands.
    const double q = (increment / 2.0 + std::fabs(v)) / increment;
    const double n = q < 4294967296.0 ? static_cast<double>(static_cast<std::uint32_t>(q)) : std::trunc(q);
    const double r = n * increment;
    // Above about 1.8e304 the quotient (or its product) overflows to infinity. A double
    // that large is far coarser than any increment, so it is shown as it is.
    if (std::isfinite(v) && !std::isfinite(r))
        return v;
    return v < 0 ? -r : r;
}

}  // namespace

double RoundingStep(double nominalValue, double value) {
    const double x = nominalValue * 0.99;
    const double m = std::fabs(value);
    for (const LadderRow& row : kLadder) {
        if (x <= row.limit) {
            if (m > 0.9995 * row.coarse) return row.coarse;
            if (m > row.middle) return row.middle;
            return row.fine;
        }
    }
    return 1;
}

std::string FormatValue(double value, double nominalValue, bool hiRes, std::string_view decimalSeparator) {
    const double step = RoundingStep(nominalValue, value);
    const double increment = step / (hiRes ? 10000.0 : 1000.0);
    const double r = RoundToIncrement(value, increment);
    const int decimals = DecimalsFor(step, hiRes);

    // fmt prints with '.' whatever the process locale says; the regional separator
    // goes in afterwards.
    fmt::memory_buffer out;
    if (decimals < 0) fmt::format_to(std::back_inserter(out), "{:> .6g}", r);
    else fmt::format_to(std::back_inserter(out), "{:> 6.{}f}", r, decimals);
    std::string text(out.data(), out.size());
    if (const auto dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, decimalSeparator);
    return text;
}

std::string FormatValue(double value) {
    return FormatValue(value, deviceParameters.nominalValue, hiResolution, regional().DecimalSeparator());
}

}  // namespace kantrel
