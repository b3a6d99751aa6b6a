#include "sim/instrument_answers.h"

#include <algorithm>
#include <fmt/format.h>

#include "core/text_encoding.h"

namespace kantrel::sim {

namespace {

constexpr std::size_t kMaxPayload = 26; // code 4 + payload + zero + mark = 32

std::string CodePointUtf8(char32_t c) {
    std::string text;
    AppendUtf8(text, c);
    return text;
}

// A UTF-8 text in the instrument's code page, Windows-1252; a character it does not
// have becomes '?'.
std::string ToInstrumentCodePage(std::string_view utf8) {
    std::string bytes;
    for (const char32_t c : Utf8ToCodePoints(utf8)) {
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            bytes.push_back(static_cast<char>(c));
            continue;
        }
        char byte = '?';
        for (int b = 0x80; b <= 0x9F; ++b) {
            if (Windows1252ToUtf8(std::string(1, static_cast<char>(b))) == CodePointUtf8(c))
                byte = static_cast<char>(b);
        }
        bytes.push_back(byte);
    }
    return bytes;
}

std::string Number(double value) {
    return fmt::format("{}", value);
}

std::optional<int> ParameterNumber(std::string_view command) {
    if (command.size() != 4 || command.substr(0, 2) != "#Z")
        return std::nullopt;
    const char a = command[2], b = command[3];
    if (a < '0' || a > '9' || b < '0' || b > '9')
        return std::nullopt;
    return (a - '0') * 10 + (b - '0');
}

std::optional<std::string> ParameterAnswer(const Scenario& s, int number) {
    const auto calibration = ReportedCalibration(s);
    switch (number) {
    case 16:
        return Number(s.fullScale);
    case 17:
        return Number(s.scaleOffset);
    case 18:
        return s.deviceSerial;
    case 61:
        return Number(s.nominalValue);
    case 62:
        return std::to_string(s.param62);
    case 63:
        return std::to_string(s.param63);
    case 74:
        return std::string(1, static_cast<char>('0' + calibration.size()));
    case 75:
        return s.unit;
    case 76:
        return s.sensorSerial;
    default:
        break;
    }
    if (number < 64 || number > 73)
        return std::nullopt;
    // "#Z64" output of point 1, "#Z65" its input, and so on; unused points read 0.
    const auto point = static_cast<std::size_t>((number - 64) / 2);
    if (point >= calibration.size())
        return Number(0.0);
    return Number((number - 64) % 2 == 0 ? calibration[point].output : calibration[point].input);
}

} // namespace

std::vector<CalibrationPoint> ReportedCalibration(const Scenario& s) {
    std::vector<CalibrationPoint> points = s.calibration;
    if (s.faultyCalibration && !points.empty()) {
        for (auto& p : points)
            p.input = points.front().input;
    }
    return points;
}

std::optional<std::string> AnswerPayload(const Scenario& s, std::string_view command,
                                         std::string_view deviceError) {
    if (command == "#I05")
        return s.firmware;
    if (command == "#Y00")
        return std::string(deviceError);
    if (command == "#Y01" || command == "#A03" || command == "#A13" || command == "#B03")
        return std::string();
    if (const auto number = ParameterNumber(command))
        return ParameterAnswer(s, *number);
    return std::nullopt;
}

std::vector<AnswerPacket> BuildAnswerPackets(std::string_view code, std::string_view payload) {
    std::array<std::uint8_t, 32> message{};
    std::string text(code.substr(0, 4));
    text.resize(4, ' ');
    text += ToInstrumentCodePage(payload).substr(0, kMaxPayload);
    std::copy(text.begin(), text.end(), message.begin());
    message[text.size()] = 0x00;
    message[text.size() + 1] = 0xA7;

    std::vector<AnswerPacket> packets(text.size() + 2 <= 16 ? 1 : 2);
    for (std::size_t p = 0; p < packets.size(); ++p)
        std::copy_n(message.begin() + static_cast<std::ptrdiff_t>(16 * p), 16, packets[p].begin());
    return packets;
}

std::string CommandText(const std::array<std::uint8_t, 32>& message) {
    const auto zero = std::find(message.begin(), message.end(), std::uint8_t{0});
    return {message.begin(), zero};
}

} // namespace kantrel::sim
