#pragma once

// Value texts (what FormatValue printed: maybe leading blanks, the regional decimal
// separator) read back into the numbers they show, for the chart.

#include <optional>
#include <string_view>

namespace kantrel {

// The number the text shows, or nullopt when the text is no number or its number is
// not finite (an "inf" or "nan" text, or beyond the range of a double). The whole text
// is read, however long, so that a point never differs from its text.
std::optional<double> ParseValueText(std::string_view text, std::string_view decimalSeparator);

} // namespace kantrel
