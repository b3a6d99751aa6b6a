#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace kantrel::fuzz {
namespace {

using Limits = std::numeric_limits<double>;
constexpr std::array<double, 24> kTroublesomeDoubles = {
    0.0,
    -0.0,
    1.0,
    -1.0,
    Limits::quiet_NaN(),
    -Limits::quiet_NaN(),
    Limits::infinity(),
    -Limits::infinity(),
    Limits::max(),
    -Limits::max(),
    Limits::min(),
    Limits::denorm_min(),
    Limits::epsilon(),
    1e304,
    -1.8e305,
    4294967295.0,
    4294967296.0,
    9007199254740993.0,
    23542.35, // the raw count of the full scale
    1000.0,
    0.5,
    1.0e-300,
    500000.0,
    -32768.0,
};

} // namespace

std::uint8_t FuzzInput::Byte() {
    if (rest_.empty())
        return 0;
    const auto b = static_cast<std::uint8_t>(rest_.front());
    rest_.remove_prefix(1);
    return b;
}

double FuzzInput::Double() {
    const std::uint8_t selector = Byte();
    if (selector < 0x60)
        return kTroublesomeDoubles[selector % kTroublesomeDoubles.size()];
    if (selector < 0xC0) {
        // A number as an instrument reports it: 16 bits of digits, a power of ten.
        const std::uint8_t low = Byte();
        const std::uint8_t high = Byte();
        const auto digits = static_cast<std::int16_t>(low | high << 8);
        return digits * std::pow(10.0, selector % 16 - 8);
    }
    std::array<char, sizeof(double)> bits{};
    const std::size_t n = std::min(bits.size(), rest_.size());
    std::memcpy(bits.data(), rest_.data(), n);
    rest_.remove_prefix(n);
    double value = 0.0;
    std::memcpy(&value, bits.data(), sizeof value);
    return value;
}

std::string_view FuzzInput::Text() {
    const std::size_t zero = rest_.find('\0');
    const std::string_view text = rest_.substr(0, zero);
    rest_.remove_prefix(zero == std::string_view::npos ? rest_.size() : zero + 1);
    return text;
}

std::string_view FuzzInput::Rest() {
    const std::string_view rest = rest_;
    rest_ = {};
    return rest;
}

std::optional<double> ReadValueText(std::string text, std::string_view separator) {
    if (const auto at = text.find(separator); at != std::string::npos)
        text.replace(at, separator.size(), 1, '.');
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos)
        return std::nullopt;
    double value = 0.0;
    const auto [end, ec] = std::from_chars(text.data() + start, text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace kantrel::fuzz
