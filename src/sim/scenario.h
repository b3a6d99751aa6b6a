#pragma once

// What the simulated instrument is and does: its identity and calibration, the signal it
// measures, and scripted events. Scenario files are INI files:
//
//   ; Every time counts in milliseconds from the moment the program opens the instrument
//   ; and lies between 0 and 1000000000000 (about 31 years). Numbers are finite. Texts
//   ; that the instrument answers never hold the byte 0xA7, the end mark of an answer.
//   ; A value may be followed by a blank and a "; comment".
//   [Instrument]
//   present       = 1                  ; 0: no instrument is found
//   firmware      = Tensolog SIM 1.0   ; answer to "#I05"
//   deviceError   = No Error           ; answer to "#Y00"; "#Y01" sets it to "No Error"
//   fullScale     = 1000               ; "#Z16": value at the raw count 23542.35
//   scaleOffset   = 0                  ; "#Z17"
//   deviceSerial  = D731-0001          ; "#Z18"
//   nominalValue  = 1000               ; "#Z61"
//   param62       = 0                  ; "#Z62"
//   param63       = 0                  ; "#Z63"
//   calibration   = 0:0, 500:500, 1000:1000   ; input:output pairs, at most 5 ("#Z64".."#Z74")
//   unit          = N                  ; "#Z75"
//   sensorSerial  = S1000N-0001        ; "#Z76"
//   answerDelayMs = 2                  ; from a command to its answer
//
//   [Signal]                           ; the measured value, in the sensor's unit
//   shape    = sine                    ; constant, ramp, sine, steps or file
//   level    = 0                       ; base value
//   amplitude = 400                    ; sine: peak; ramp: rise per period; steps: step height
//   periodMs = 5000                    ; sine and ramp period; steps alternate each half
//   noise    = 2                       ; +- uniform noise added to every sample
//   seed     = 1                       ; of the noise
//   file     = counts.txt              ; shape=file: raw counts, separated by blanks or
//                                      ; line ends, played in a loop (relative to this file)
//
//   [Events]
//   keyPressEveryMs    = 4000          ; instrument key (code '3') every so often; 0 = never
//   keyPressAtMs       = 1000, 2500    ; and at these times
//   connectionLostAtMs = 6000          ; code '5' at that time; absent = never
//   silentCommands     = #Z63          ; commands that are never answered
//   r1StallAtMs        = 0             ; from then on the answer pipe sends nothing
//   r1StallMs          = 0             ; for so long (0 = no stall)
//   r2StallAtMs        = 0             ; the measurement stream stops
//   r2StallMs          = 0
//   s1StallAtMs        = 0             ; the command pipe takes nothing
//   s1StallMs          = 0
//   faultyCalibration  = 0             ; 1: every calibration input equals the first
//
// The instrument reacts to "#A03" with code '1' (a zeroing starts), to "#A13" with '4'
// (zero cleared) and to "#B03" with '2' (peaks cleared), each on the first sample after
// its answer delay.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kantrel::sim {

struct CalibrationPoint {
    double input = 0.0;
    double output = 0.0;
};

enum class SignalShape { Constant, Ramp, Sine, Steps, File };

struct Stall {
    std::int64_t atMs = 0;
    std::int64_t durationMs = 0; // 0: no stall
    bool Covers(std::int64_t t) const { return durationMs > 0 && t >= atMs && t < atMs + durationMs; }
    std::int64_t EndMs() const { return atMs + durationMs; }
};

struct Scenario {
    // [Instrument]
    bool present = true;
    std::string firmware = "Tensolog SIM 1.0";
    std::string deviceError = "No Error";
    double fullScale = 1000.0;
    double scaleOffset = 0.0;
    std::string deviceSerial = "D731-0001";
    double nominalValue = 1000.0;
    std::int32_t param62 = 0;
    std::int32_t param63 = 0;
    std::vector<CalibrationPoint> calibration = {{0, 0}, {500, 500}, {1000, 1000}};
    std::string unit = "N";
    std::string sensorSerial = "S1000N-0001";
    std::int64_t answerDelayMs = 2;

    // [Signal]
    SignalShape shape = SignalShape::Constant;
    double level = 0.0;
    double amplitude = 0.0;
    std::int64_t periodMs = 1000;
    double noise = 0.0;
    std::uint32_t seed = 1;
    std::vector<std::int16_t> rawCounts; // shape File

    // [Events]
    std::int64_t keyPressEveryMs = 0;
    std::vector<std::int64_t> keyPressAtMs;
    std::optional<std::int64_t> connectionLostAtMs;
    std::vector<std::string> silentCommands;
    Stall r1Stall, r2Stall, s1Stall;
    bool faultyCalibration = false;
};

// The scenario of "--simulate" without a file: a 1000 N sensor with three calibration
// points, a slow sine with a little noise and a key press every few seconds.
Scenario DefaultScenario();

struct ScenarioResult {
    std::optional<Scenario> scenario; // nullopt: error says why
    std::string error;
    std::vector<std::string> warnings; // keys that were not understood
};

// Keys that are missing keep the values of DefaultScenario().
ScenarioResult LoadScenarioFile(const std::string& path);
// baseFolder resolves a relative signal file.
ScenarioResult ParseScenario(std::string_view text, const std::string& baseFolder = ".");

} // namespace kantrel::sim
