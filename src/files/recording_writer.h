#pragma once

// The flight recorder's worker thread: it takes batches of data lines from the main
// thread and appends them to the recording, one write and one fdatasync per round, so
// that the refresh tick never waits for the disk. Batches are written in the order they
// were submitted; when the program ends normally, everything submitted is written before
// the thread ends.
//
// At its start the worker looks at the last run (recording_state.h): recordings whose
// data sets were not all saved are offered once, through `offer`. It then keeps the
// folder within its limits (recording_retention.h).
//
// A failure (folder not writable, disk full) is reported once through `report` when it
// costs data sets; those are not recorded, and after a pause the worker tries again with
// a new recording, so that every recording holds an unbroken series of data sets.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "files/recording_file.h"
#include "files/recording_retention.h"
#include "files/recording_state.h"

namespace kantrel {

// Data sets that share one header line.
struct RecordingBatch {
    std::string header;          // without its line end
    double firstTimestamp = 0.0; // names a new recording
    std::string lines;           // per data set: TAB, the fields, CR LF (the number is the file's)
    std::int64_t count = 0;
    bool afterGap = false; // data sets before these were lost: they begin a new recording
};

struct RecorderOptions {
    std::string folder;
    RetentionLimits limits;
    // Batches waiting beyond this are dropped rather than letting memory grow while
    // the disk does not keep up.
    std::size_t maxQueuedBytes = 64u << 20;
    std::chrono::milliseconds retryPause{10000};
    std::uint64_t trimEveryBytes = 64u << 20;
    FileCalls calls = fileCalls();           // the calls in use when the options are made
    std::function<void(std::string)> report; // a status text, once per failure (any thread)
    std::function<void(std::string)> offer;  // the recovery text (worker thread)
};

class RecordingWriter {
public:
    explicit RecordingWriter(RecorderOptions options);
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    void Start();
    // Queues a batch; never waits for the disk. False when it was dropped.
    bool Submit(RecordingBatch batch);
    // Everything submitted so far has been saved by the operator.
    void MarkSaved();
    // Writes what is queued, then ends the thread.
    void Stop();
    // Waits until the look at the last run and everything submitted so far are done
    // (tests, benchmarks).
    void WaitUntilWritten();

    // The recording being written, empty when none (after WaitUntilWritten).
    std::string CurrentFile() const;
    std::int64_t DroppedDataSets() const;

private:
    struct Job {
        enum class Kind { Lines, Saved } kind = Kind::Lines;
        RecordingBatch batch;
    };

    void Run();
    void BeginRun();
    void Process(Job& job);
    void Write(RecordingBatch& batch);
    bool EnsureRecordingFor(const RecordingBatch& batch);
    void RecordSaved();
    void SaveRunRecord();
    void Trim();
    void Fail(const std::string& path, int error);
    void Dropped(const RecordingBatch& batch);
    void ReportFailure();      // once, until writing works again
    void DropEmptyRecording(); // one whose first data lines could not be written
    void CloseRecording();

    RecorderOptions options_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::vector<Job> queue_;
    std::size_t queuedBytes_ = 0;
    std::uint64_t submitted_ = 0; // jobs accepted
    std::uint64_t done_ = 0;      // jobs processed
    bool stopping_ = false;
    bool finished_ = false; // the thread has ended
    bool gap_ = false;      // a batch was dropped: the next one starts a new recording
    bool backlogReported_ = false;
    std::int64_t dropped_ = 0;
    std::string currentName_; // for CurrentFile()

    // Worker thread only.
    std::optional<RecordingFile> recording_;
    std::string lastName_;
    std::int64_t lastLines_ = 0;
    RunRecord run_;
    std::set<std::string> keep_; // offered for recovery: not trimmed during this run
    bool failed_ = false;
    std::string failureText_; // the last failure, said when data sets are lost to it
    bool failureReported_ = false;
    std::chrono::steady_clock::time_point retryAt_{};
    std::uint64_t bytesSinceTrim_ = 0;
    std::string buffer_;

    std::thread thread_;
};

} // namespace kantrel
