#pragma once

// The one conversion of a value into its display text: rounded to a thousandth (a
// ten-thousandth in high resolution) of a 1-2-5 step chosen by the nominal value and
// the value's magnitude, with the regional decimal separator.

#include <optional>
#include <string>
#include <string_view>

namespace kantrel {

// The rounding step for a nominal value and a value.
double RoundingStep(double nominalValue, double value);

std::string FormatValue(double value, double nominalValue, bool hiRes, std::string_view decimalSeparator);
// With the device's nominal value, hiResolution and the regional separator.
std::string FormatValue(double value);

// A text of FormatValue read back: the number in C notation with its digits as they were
// shown ("255.0", "-987.5", "1.23457e+06"), without the leading blanks, and its value.
// nullopt when the text is not a finite number written with that separator.
struct ValueTextNumber {
    std::string plain;
    double value = 0.0;
};
std::optional<ValueTextNumber> ReadValueText(std::string_view text, std::string_view decimalSeparator);

}  // namespace kantrel
