#pragma once

// What kantrel731-record tells the person at the terminal, on standard error: who the
// instrument is, how the run is going (a line updated once a second) and, at the end, the
// statistics of the recorded values. The texts are built by pure functions; Console
// writes them.

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "measure/statistics.h"

namespace kantrel::record {

struct Identification {
    std::string deviceSerial;
    std::string sensorSerial;
    std::string nominalText; // the nominal value as the window shows it, without the unit
    std::string unit;
    std::string firmware;
    std::string deviceError;
};

// One line with its line end.
std::string IdentificationText(const Identification& id);
// "12 data sets, live 255.0 N, 0:01:05" (no line end).
std::string ProgressText(std::int64_t dataSets, std::string_view liveMean, std::string_view unit,
                         std::int64_t elapsedMs);
// Lines with their line ends; how the run ended is said by the caller.
std::string SummaryText(const Statistics& statistics, const Limits& limits, std::string_view unit);
// "250:260", ":260", "250:".
std::string LimitsText(const Limits& limits);

class Console {
public:
    // terminal: a person watches (identification and progress line shown). quiet:
    // nothing but errors. progressLine false: the data go to the same terminal, where a
    // line that keeps being rewritten would tear them apart.
    Console(int fd, bool terminal, bool quiet, bool progressLine = true)
        : fd_(fd), watched_(terminal && !quiet), progressLine_(watched_ && progressLine), quiet_(quiet) {}

    bool Watched() const { return watched_; }
    // An error: always written.
    void Error(std::string_view text);
    // Information: unless quiet.
    void Info(std::string_view text);
    // Replaces the progress line (when watched).
    void Progress(std::string_view text);

private:
    void WriteLocked(std::string_view text);
    void EndProgressLocked();

    std::mutex mutex_;
    int fd_;
    bool watched_;
    bool progressLine_;
    bool quiet_;
    bool progressShown_ = false;
};

} // namespace kantrel::record
