#include "ramp_recording.h"

#include <charconv>
#include <cmath>
#include <fmt/format.h>
#include <string_view>
#include <vector>

namespace kantrel::test {

std::string RampScenario() {
    return fmt::format("[Instrument]\nfullScale = 23542.35\nscaleOffset = 0\nnominalValue = 1000\n"
                       "calibration = 0:0, 1000:1000\nunit = N\n"
                       "[Signal]\nshape = ramp\nlevel = {}\namplitude = {}\nperiodMs = {}\nnoise = 0\n"
                       "[Events]\nkeyPressEveryMs = 0\n",
                       kRampLow, kRampPeriodMs, kRampPeriodMs);
}

std::string OneMillisecondSettings() {
    return "[Config]\nSampleRate=0\n";
}

namespace {

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t at = 0;;) {
        const std::size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab - at));
        if (tab == std::string_view::npos)
            return fields;
        at = tab + 1;
    }
}

// A value text of the ramp ("  -123,0" or "-123.0") as a whole count.
bool ReadCount(std::string_view text, long long& count) {
    std::string number(text.substr(std::min(text.size(), text.find_first_not_of(' '))));
    for (char& c : number)
        if (c == ',')
            c = '.';
    double value = 0.0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (ec != std::errc() || end != number.data() + number.size() || number.empty())
        return false;
    count = std::llround(value);
    return true;
}

} // namespace

RampCheck CheckRampRecording(const std::string& bytes) {
    RampCheck check;
    std::string_view rest = bytes;
    const std::size_t headerEnd = rest.find("\r\n");
    if (!rest.starts_with("Number\t") || headerEnd == std::string_view::npos) {
        check.problem = "no header";
        return check;
    }
    rest.remove_prefix(headerEnd + 2);
    long long previous = 0;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        if (end == std::string_view::npos) {
            check.tornLastLine = true;
            break;
        }
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end + 2);
        const std::int64_t number = check.dataSets + 1;
        const std::vector<std::string_view> fields = Fields(line);
        long long value = 0;
        if (fields.size() != 9 || fields[0] != std::to_string(number) || !ReadCount(fields[4], value)) {
            check.problem = fmt::format("line {} is not data set {}: {}", number + 1, number, line);
            return check;
        }
        if (number > 1 && value != previous + 1 &&
            !(previous == kRampLow + kRampPeriodMs - 1 && value == kRampLow)) {
            check.problem = fmt::format("data set {} has the value {} after {}", number, value, previous);
            return check;
        }
        previous = value;
        check.dataSets = number;
    }
    return check;
}

} // namespace kantrel::test
