#pragma once

// The one conversion of a value into its display text: rounded to a thousandth (a
// ten-thousandth in high resolution) of a 1-2-5 step chosen by the nominal value and
// the value's magnitude, with the regional decimal separator.

#include <string>
#include <string_view>

namespace kantrel {

// The rounding step for a nominal value and a value.
double RoundingStep(double nominalValue, double value);

std::string FormatValue(double value, double nominalValue, bool hiRes, std::string_view decimalSeparator);
// With the device's nominal value, hiResolution and the regional separator.
std::string FormatValue(double value);

}  // namespace kantrel
