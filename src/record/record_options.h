#pragma once

// The command line of kantrel731-record: what to record, how long, where to write it and
// against which limits. Parsing is pure; the program applies the result.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "measure/statistics.h"

namespace kantrel::record {

// The exit codes, as --help and the README list them.
enum ExitCode : int {
    kExitDone = 0,             // done, and every data set within the limits
    kExitOutsideLimits = 1,    // at least one data set outside the limits
    kExitUsage = 2,            // the command line is wrong
    kExitNoInstrument = 3,     // instrument not found or not openable
    kExitInstrumentFailed = 4, // the instrument failed during the run
    kExitOutputFailed = 5,     // the output could not be written
};

enum class RecordMode {
    Single, // the next completed mean
    Auto,   // every completed mean
    Key,    // a data set per press of the instrument key
};

enum class OutputFormat { Tsv, Csv, Jsonl };

struct RecordOptions {
    bool simulate = false;
    std::string scenarioFile; // empty: the built-in scenario
    // The simulated instrument's clock runs as fast as the program takes its data, with
    // no waiting on the wall clock (tests). Not in --help.
    bool fastClock = false;

    std::optional<int> rateIndex; // nullopt: the setting "SampleRate"
    RecordMode mode = RecordMode::Single;
    std::optional<std::int64_t> count;
    std::optional<std::int64_t> durationMs;
    bool zero = false;
    bool clearPeak = false;
    std::string outPath; // empty or "-": standard output
    OutputFormat format = OutputFormat::Tsv;
    Limits limits;
    bool quiet = false;
};

struct ParsedCommandLine {
    RecordOptions options;
    bool help = false;
    bool version = false;
    std::string error; // not empty: a usage error
};

// arguments[0] is the program name.
ParsedCommandLine ParseRecordCommandLine(const std::vector<std::string>& arguments);

// "LOW:HIGH", either side may be empty; a decimal comma is taken as a point.
std::optional<Limits> ParseLimits(const std::string& text);

std::string RecordUsageText();
std::string RecordVersionText();

} // namespace kantrel::record
