#pragma once

// Number patterns of the chart axes ("0", "0.000", "#.##0,###"): "0" is a digit that is
// always shown, "#" a digit shown only when significant, the first "." marks the
// decimal point and a "," anywhere switches on thousands grouping.

#include <string>
#include <string_view>

namespace kantrel::ui {

struct NumberPattern {
    int minIntegerDigits = 1;
    int minDecimals = 0;
    int maxDecimals = 0;
    bool grouping = false;
};

NumberPattern ParseNumberPattern(std::string_view pattern);

// The value in the pattern with the given separators. Never prints "-" before a value
// that rounds to zero.
std::string FormatWithPattern(double value, const NumberPattern& pattern, std::string_view decimalSeparator,
                              std::string_view groupSeparator);

} // namespace kantrel::ui
