#pragma once

// The flight recorder: every data set that the processing cycle stores also goes to a
// recording file on disk, so that nothing measured is lost to a closed window, a crash,
// a kill or a power cut; CLR LAST, CLR ALL and the wrap-around of the table do not touch
// it. The recordings are data files (recording_file.h) in RecordingsFolder().
//
// On the main thread the recorder only formats each data set into a line (about a
// microsecond) and collects the lines of one refresh tick; right after the tick, a call
// posted to the main thread hands them to the worker (recording_writer.h), which writes
// and flushes them. A change of the header (another averaging time, the unit of a new
// connection) starts a new recording.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/ports.h"
#include "files/recording_writer.h"

namespace kantrel {

class FlightRecorder : public DataSetSink {
public:
    // The report and offer texts of the options are shown through the window port when
    // they are not set.
    explicit FlightRecorder(RecorderOptions options);
    ~FlightRecorder() override;
    FlightRecorder(const FlightRecorder&) = delete;
    FlightRecorder& operator=(const FlightRecorder&) = delete;

    // Starts the worker: it offers the unsaved recordings of the last run and trims the folder.
    void Start();
    void DataSetStored(const TMeasData& store, int row) override;
    void DataSetsSaved() override;
    // Hands the collected lines to the worker (posted after each tick; callable any time).
    void HandOff();
    // Hands off, writes everything and ends the worker. Later data sets are not recorded.
    void Close();

    RecordingWriter& writer() { return writer_; }

private:
    void FinishBatch();

    RecordingWriter writer_;
    RecordingBatch batch_;              // being collected
    std::vector<RecordingBatch> ready_; // collected, each with its own header
    std::string unit_;                  // of the header in use
    int sampleRate_ = -1;               // of the header in use
    std::string header_;
    bool handOffPosted_ = false;
    bool closed_ = false;
    std::shared_ptr<char> alive_ = std::make_shared<char>(); // for the posted hand-off
};

// The recorder the settings ask for, started; null when "FlightRecorder" is 0. Without a
// folder to record into, the status line says so and the result is null.
std::unique_ptr<FlightRecorder> StartFlightRecorder();

} // namespace kantrel
