#pragma once

// A simulated instrument whose value is its raw count, sending a ramp of one count more
// per millisecond, so that the value text of every data set recorded at an averaging
// time of 1 ms tells which sample it came from: consecutive data sets have consecutive
// values (after 29999 comes -30000).

#include <cstdint>
#include <string>

namespace kantrel::test {

inline constexpr int kRampLow = -30000;
inline constexpr int kRampPeriodMs = 60000;

// The scenario file of that instrument.
std::string RampScenario();
// A settings file for an averaging time of 1 ms.
std::string OneMillisecondSettings();

struct RampCheck {
    std::int64_t dataSets = 0; // complete data lines
    bool tornLastLine = false; // the file ends inside a line
    std::string problem;       // empty when the recording is sound
};

// Checks a recording: a header, then complete data lines numbered 1, 2, 3, ... whose
// values follow the ramp without a gap or a repeat.
RampCheck CheckRampRecording(const std::string& bytes);

} // namespace kantrel::test
