#include "record/console_report.h"

#include <cerrno>
#include <fmt/format.h>
#include <unistd.h>

namespace kantrel::record {

namespace {

std::string Number(double value) {
    return fmt::format("{:.6g}", value);
}

std::string WithUnit(double value, std::string_view unit) {
    return unit.empty() ? Number(value) : Number(value) + " " + std::string(unit);
}

std::string Capability(const std::optional<double>& index) {
    return index ? fmt::format("{:.3g}", *index) : std::string("-");
}

} // namespace

std::string IdentificationText(const Identification& id) {
    std::string text = fmt::format("Tensolog: device {}, sensor {}, nominal value {} {}", id.deviceSerial,
                                   id.sensorSerial, id.nominalText, id.unit);
    if (!id.firmware.empty())
        text += ", firmware " + id.firmware;
    if (!id.deviceError.empty())
        text += ", device error \"" + id.deviceError + "\"";
    return text + "\n";
}

std::string ProgressText(std::int64_t dataSets, std::string_view liveMean, std::string_view unit,
                         std::int64_t elapsedMs) {
    const std::int64_t seconds = elapsedMs / 1000;
    return fmt::format("{} data set{}, live {} {}, {}:{:02}:{:02}", dataSets, dataSets == 1 ? "" : "s",
                       liveMean, unit, seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::string LimitsText(const Limits& limits) {
    return (limits.low ? Number(*limits.low) : std::string()) + ":" +
           (limits.high ? Number(*limits.high) : std::string());
}

std::string SummaryText(const Statistics& s, const Limits& limits, std::string_view unit) {
    std::string text = fmt::format("n {}", s.n);
    if (s.n > 0) {
        text += fmt::format(", mean {}, standard deviation {}, min {}, max {}, range {}",
                            WithUnit(s.mean, unit), s.stdDev ? WithUnit(*s.stdDev, unit) : std::string("-"),
                            WithUnit(s.min, unit), WithUnit(s.max, unit), WithUnit(s.range, unit));
    }
    if (s.invalid > 0)
        text += fmt::format(", {} not a number", s.invalid);
    text += "\n";
    if (limits.Any()) {
        text += fmt::format("limits {}: {} passed, {} low, {} high, Cp {}, Cpk {}\n", LimitsText(limits),
                            s.pass, s.low, s.high, Capability(s.cp), Capability(s.cpk));
    }
    return text;
}

void Console::Error(std::string_view text) {
    std::lock_guard lock(mutex_);
    EndProgressLocked();
    WriteLocked(text);
}

void Console::Info(std::string_view text) {
    if (quiet_)
        return;
    std::lock_guard lock(mutex_);
    EndProgressLocked();
    WriteLocked(text);
}

void Console::Progress(std::string_view text) {
    if (!progressLine_)
        return;
    std::lock_guard lock(mutex_);
    // Back to the start of the line, which is cleared to its end.
    WriteLocked("\r\x1b[K");
    WriteLocked(text);
    progressShown_ = true;
}

void Console::EndProgressLocked() {
    if (!progressShown_)
        return;
    progressShown_ = false;
    WriteLocked("\n");
}

void Console::WriteLocked(std::string_view text) {
    while (!text.empty()) {
        const ssize_t written = ::write(fd_, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // nowhere left to tell it
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

} // namespace kantrel::record
