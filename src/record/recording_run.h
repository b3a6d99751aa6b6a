#pragma once

// One run of kantrel731-record: connect the instrument, wait for its start-up readout,
// zero and clear the peaks when asked, record data sets with the store's own requests
// (single shot, automatic recording, instrument key), write each one out as it comes,
// and end on the count, the duration, a stop signal or a failure of the instrument.
//
// The store's processing cycle does the measuring, exactly as in the window; the run
// takes the data sets from the store's table after each processing tick, so that a run
// longer than the table (10240 data sets) loses none of them.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "measure/statistics.h"
#include "record/output_format.h"
#include "record/record_options.h"

namespace kantrel {
class MainThreadTimer;
struct tDataListArray;
} // namespace kantrel

namespace kantrel::record {

class Console;
class EventLoop;
class OutputFile;
class RecordWindow;

// An instrument whose start-up readout or zeroing takes longer than this is not working.
inline constexpr std::int64_t kReadoutLimitMs = 10000;
inline constexpr std::int64_t kZeroLimitMs = 5000;
// The instrument clears its peaks a few milliseconds after "#B03"; recording starts
// after this much measuring time, so that the first data set's peaks are the new ones.
inline constexpr std::int64_t kPeakClearSettleMs = 200;
inline constexpr int kProcessTickMs = 100; // the window's display refresh
inline constexpr int kPollTickMs = 10;     // the window's wait for the readout
inline constexpr int kProgressTickMs = 1000;

// "Tensolog not found", as the window's status line says it.
inline constexpr std::string_view kTensologNotFound = "Tensolog not found";
// What the processing cycle says when the calibration table has no segment for a reading.
// The reading is dropped; with no one at a window to see it, the run fails instead.
inline constexpr std::string_view kSensorCalibrationError = "Sensor Calibration Error";

class RecordingRun {
public:
    RecordingRun(const RecordOptions& options, EventLoop& loop, Console& console, OutputFile& output,
                 RecordWindow& window);
    ~RecordingRun();
    RecordingRun(const RecordingRun&) = delete;
    RecordingRun& operator=(const RecordingRun&) = delete;

    // Connects, records until the run ends, disconnects and reports. The exit code.
    int Execute();

    // Main thread: the instrument failed; what was recorded is written and the run ends.
    void Fail(std::string message);

private:
    enum class Phase { Readout, Draining, Zeroing, Settling, Recording, Ended };

    void OnPollTick();
    void OnProcessTick();
    void OnProgressTick();
    void BeginMeasuring();
    void AdvancePreparation();
    void ClearPeakOrStartRecording();
    void StartRecording();
    void TakeNewDataSets();
    void Accept(const tDataListArray& row);
    bool RecordingComplete() const;
    std::optional<std::string> InstrumentFailure() const;
    void End();
    void FlushOutput();
    int ExitCode() const;

    const RecordOptions& options_;
    EventLoop& loop_;
    Console& console_;
    OutputFile& output_;
    RecordWindow& window_;

    Phase phase_ = Phase::Readout;
    bool began_ = false; // the readout completed and measuring began
    std::unique_ptr<MainThreadTimer> pollTimer_, processTimer_, progressTimer_;
    std::int64_t startedAtMs_ = 0;     // loop time of the connection
    std::int64_t commandSentAtMs_ = 0; // sample time of "#A03" or "#B03"
    bool zeroRunning_ = false;
    double zeroBefore_ = 0.0;
    std::int64_t recordFromMs_ = 0; // sample time at which recording began
    int takenPos_ = -1;             // the table row of the last data set taken

    OutputContext context_;
    StatisticsAccumulator statistics_;
    std::int64_t recorded_ = 0;
    bool failed_ = false;      // the instrument failed
    bool interrupted_ = false; // a stop signal ended the run
    bool outputErrorShown_ = false;
};

} // namespace kantrel::record
