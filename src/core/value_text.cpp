#include "core/value_text.h"

#include <charconv>
#include <cmath>

namespace kantrel {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<ValueTextNumber> ReadValueText(std::string_view text, std::string_view decimalSeparator) {
    text = TrimBlanks(text);
    std::string plain;
    plain.reserve(text.size());
    const auto at = decimalSeparator.empty() ? std::string_view::npos : text.find(decimalSeparator);
    if (at == std::string_view::npos) {
        plain = text;
    } else {
        plain.append(text.substr(0, at));
        plain.push_back('.');
        plain.append(text.substr(at + decimalSeparator.size()));
    }
    if (!plain.empty() && plain.front() == '+')
        plain.erase(0, 1);
    if (plain.empty())
        return std::nullopt;
    double value = 0.0;
    const char* end = plain.data() + plain.size();
    const auto [stop, ec] = std::from_chars(plain.data(), end, value);
    // from_chars also reads "inf", "infinity" and "nan": no number may come from them.
    if (ec != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return ValueTextNumber{std::move(plain), value};
}

std::optional<double> ParseValueText(std::string_view text, std::string_view decimalSeparator) {
    if (const auto number = ReadValueText(text, decimalSeparator))
        return number->value;
    return std::nullopt;
}

} // namespace kantrel
