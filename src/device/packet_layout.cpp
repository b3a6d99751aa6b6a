#include "device/packet_layout.h"

#include <algorithm>
#include <charconv>

namespace kantrel {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

CommandMessage BuildCommandMessage(std::string_view text) {
    CommandMessage message;
    message.cut = text.size() > kMaxCommandText;
    const std::size_t n = std::min(text.size(), kMaxCommandText);
    std::copy_n(text.begin(), n, message.block.begin());
    message.block[n] = 0x00;
    message.block[n + 1] = kEndOfMessage;
    return message;
}

void WriteSubstituteAnswer(std::span<std::uint8_t, kAnswerPacketBytes> packet) {
    static constexpr std::array<std::uint8_t, 6> kSubstitute = {'#', 'N', 'O', 'P', kEndOfMessage, 0x00};
    std::copy(kSubstitute.begin(), kSubstitute.end(), packet.begin());
}

bool HoldsEndMark(std::span<const std::uint8_t> bytes) {
    return std::find(bytes.begin(), bytes.end(), kEndOfMessage) != bytes.end();
}

bool SameCode(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < kAnswerCodeBytes; ++i) {
        const char ca = i < a.size() ? a[i] : '\0';
        const char cb = i < b.size() ? b[i] : '\0';
        if (ca != cb)
            return false;
    }
    return true;
}

std::string_view AnswerCode(std::span<const std::uint8_t, kAnswerBufferBytes> answer) {
    return {reinterpret_cast<const char*>(answer.data()), kAnswerCodeBytes};
}

std::string AnswerText(std::span<const std::uint8_t, kAnswerBufferBytes> answer, std::size_t maxLength) {
    const auto payload = answer.subspan(kAnswerCodeBytes);
    const auto zero = std::find(payload.begin(), payload.end(), std::uint8_t{0});
    const std::size_t length =
        std::min({static_cast<std::size_t>(zero - payload.begin()), maxLength, kMaxAnswerText});
    return {reinterpret_cast<const char*>(payload.data()), length};
}

double ParseAnswerNumber(std::span<const std::uint8_t, kAnswerBufferBytes> answer) {
    std::string text = AnswerText(answer);
    const auto point = text.find_first_of(".,");
    if (point != std::string::npos)
        text[point] = '.';
    return ParseDecimalPrefix(text);
}

double ParseDecimalPrefix(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    if (at < text.size() && text[at] == '+') {
        ++at;
        if (at < text.size() && text[at] == '-')
            return 0.0; // "+-1" is no number
    }
    // The number proper begins with a digit or the decimal point: std::from_chars would
    // also read "nan", "inf" and "infinity", which are no numbers here.
    const std::size_t first = at < text.size() && text[at] == '-' ? at + 1 : at;
    if (first >= text.size() || !(IsDigit(text[first]) || text[first] == '.'))
        return 0.0;
    // A number beyond the range of a double counts as no number.
    double value = 0.0;
    const auto result = std::from_chars(text.data() + at, text.data() + text.size(), value);
    return result.ec == std::errc{} ? value : 0.0;
}

} // namespace kantrel
