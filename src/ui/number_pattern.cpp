#include "ui/number_pattern.h"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

namespace kantrel::ui {

NumberPattern ParseNumberPattern(std::string_view pattern) {
    NumberPattern p;
    p.grouping = pattern.find(',') != std::string_view::npos;
    const auto point = pattern.find('.');
    const std::string_view integerPart = pattern.substr(0, point);
    const std::string_view fractionPart =
        point == std::string_view::npos ? std::string_view{} : pattern.substr(point + 1);
    p.minIntegerDigits = static_cast<int>(std::count(integerPart.begin(), integerPart.end(), '0'));
    int position = 0;
    for (char c : fractionPart) {
        if (c != '0' && c != '#')
            continue;
        ++position;
        if (c == '0')
            p.minDecimals = position;
    }
    p.maxDecimals = position;
    return p;
}

namespace {

std::string Grouped(const std::string& digits, std::string_view groupSeparator) {
    std::string out;
    const std::size_t n = digits.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += groupSeparator;
        out += digits[i];
    }
    return out;
}

} // namespace

std::string FormatWithPattern(double value, const NumberPattern& pattern, std::string_view decimalSeparator,
                              std::string_view groupSeparator) {
    if (!std::isfinite(value))
        return fmt::format("{}", value);
    const std::string fixed = fmt::format("{:.{}f}", std::fabs(value), pattern.maxDecimals);
    const auto point = fixed.find('.');
    std::string integer = fixed.substr(0, point);
    std::string fraction = point == std::string::npos ? std::string{} : fixed.substr(point + 1);

    while (static_cast<int>(fraction.size()) > pattern.minDecimals && fraction.back() == '0')
        fraction.pop_back();
    const bool isZero = integer.find_first_not_of('0') == std::string::npos &&
                        fixed.find_first_not_of("0.") == std::string::npos;
    integer.erase(0, std::min(integer.find_first_not_of('0'), integer.size()));
    if (static_cast<int>(integer.size()) < pattern.minIntegerDigits)
        integer.insert(0, static_cast<std::size_t>(pattern.minIntegerDigits) - integer.size(), '0');
    if (pattern.grouping)
        integer = Grouped(integer, groupSeparator);

    std::string out;
    if (value < 0 && !isZero)
        out += '-';
    out += integer;
    if (!fraction.empty()) {
        out += decimalSeparator;
        out += fraction;
    }
    if (out.empty() || out == "-")
        out += '0'; // "#" alone on zero still shows something
    return out;
}

} // namespace kantrel::ui
