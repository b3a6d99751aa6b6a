#pragma once

// Value texts (what FormatValue printed: maybe leading blanks, the regional decimal
// separator) read back into the numbers they show: for the chart, the statistics and the
// limits, and as plain digits for the headless recorder's csv and jsonl.

#include <optional>
#include <string>
#include <string_view>

namespace kantrel {

// The number a value text shows: its digits in C notation, as they were shown ("255.0",
// "-987.5", "1.23457e+06"), without the blanks around them or a leading '+', and its value.
struct ValueTextNumber {
    std::string plain;
    double value = 0.0;
};

// nullopt when the text is no number or its number is not finite (an "inf" or "nan"
// text, or beyond the range of a double). The whole text is read, however long, so that
// a point never differs from its text.
std::optional<ValueTextNumber> ReadValueText(std::string_view text, std::string_view decimalSeparator);
// The value alone.
std::optional<double> ParseValueText(std::string_view text, std::string_view decimalSeparator);

} // namespace kantrel
