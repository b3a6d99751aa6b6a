#include "files/recording_writer.h"

#include <charconv>
#include <fmt/format.h>
#include <pthread.h>
#include <system_error>
#include <unistd.h>
#include <utility>

#include "core/date_time.h"
#include "core/ports.h"

namespace kantrel {

namespace {

std::string Cause(int error) {
    return std::generic_category().message(error);
}

std::string NowText() {
    const CivilDateTime t = DecodeDateTime(clock().Now());
    return fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02}", t.year, t.month, t.day, t.hour, t.minute,
                       t.second);
}

// The lines of a batch, each behind its running number in the recording.
void NumberLines(std::string& out, std::string_view lines, std::int64_t firstNumber) {
    out.clear();
    out.reserve(lines.size() + lines.size() / 8);
    char digits[24];
    std::int64_t number = firstNumber;
    for (std::size_t at = 0; at < lines.size();) {
        std::size_t end = lines.find('\n', at);
        end = end == std::string_view::npos ? lines.size() : end + 1;
        const auto [last, ec] = std::to_chars(digits, digits + sizeof digits, number++);
        out.append(digits, last);
        out.append(lines.substr(at, end - at));
        at = end;
    }
}

} // namespace

RecordingWriter::RecordingWriter(RecorderOptions options) : options_(std::move(options)) {}

RecordingWriter::~RecordingWriter() {
    Stop();
}

void RecordingWriter::Start() {
    if (thread_.joinable())
        return;
    run_.started = NowText();
    {
        std::lock_guard lock(mutex_);
        ++submitted_; // the look at the last run counts as the first job
    }
    thread_ = std::thread([this] { Run(); });
}

bool RecordingWriter::Submit(RecordingBatch batch) {
    bool accepted = false;
    bool reportBacklog = false;
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return false;
        if (queuedBytes_ + batch.lines.size() > options_.maxQueuedBytes) {
            gap_ = true;
            dropped_ += batch.count;
            reportBacklog = !std::exchange(backlogReported_, true);
        } else {
            batch.afterGap = batch.afterGap || std::exchange(gap_, false);
            queuedBytes_ += batch.lines.size();
            queue_.push_back({Job::Kind::Lines, std::move(batch)});
            ++submitted_;
            accepted = true;
        }
    }
    if (reportBacklog && options_.report)
        options_.report("Recording to disk cannot keep up: some data sets are missing from the recording. "
                        "Measuring goes on.");
    if (accepted)
        wake_.notify_one();
    return accepted;
}

void RecordingWriter::MarkSaved() {
    {
        std::lock_guard lock(mutex_);
        if (stopping_)
            return;
        queue_.push_back({Job::Kind::Saved, {}});
        ++submitted_;
    }
    wake_.notify_one();
}

void RecordingWriter::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (thread_.joinable())
        thread_.join();
}

void RecordingWriter::WaitUntilWritten() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = submitted_;
    written_.wait(lock, [&] { return done_ >= target || finished_; });
}

std::string RecordingWriter::CurrentFile() const {
    std::lock_guard lock(mutex_);
    return currentName_;
}

std::int64_t RecordingWriter::DroppedDataSets() const {
    std::lock_guard lock(mutex_);
    return dropped_;
}

void RecordingWriter::Run() {
    pthread_setname_np(pthread_self(), "flightRecorder");
    BeginRun();
    {
        std::lock_guard lock(mutex_);
        ++done_;
    }
    written_.notify_all();
    std::vector<Job> jobs;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return !queue_.empty() || stopping_; });
            if (queue_.empty())
                break;
            jobs.swap(queue_);
            queuedBytes_ = 0;
        }
        for (Job& job : jobs)
            Process(job);
        // Once per round: what the refresh tick handed over reaches the disk.
        if (recording_)
            if (const int error = recording_->Sync(); error != 0) {
                Fail(options_.folder + "/" + recording_->name(), error);
                ReportFailure(); // what was written may not be on the disk
            }
        {
            std::lock_guard lock(mutex_);
            done_ += jobs.size();
            currentName_ = recording_ ? recording_->name() : std::string();
        }
        written_.notify_all();
        jobs.clear();
    }
    CloseRecording();
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    written_.notify_all();
}

void RecordingWriter::BeginRun() {
    if (const int error = MakeFolders(options_.folder, options_.calls); error != 0) {
        Fail(options_.folder, error);
        return;
    }
    const std::string recordPath = options_.folder + "/" + std::string(kRunRecordFileName);
    const RunRecord last = LoadRunRecord(recordPath);
    // A recording that another running program still writes is no leftover of an ended run.
    const std::vector<UnsavedRecording> unsaved = FindUnsaved(last, [this](const std::string& name) {
        const std::string path = options_.folder + "/" + name;
        return RecordingInUse(path) ? std::nullopt : CountRecordedDataSets(path);
    });
    for (const UnsavedRecording& file : unsaved)
        keep_.insert(file.name);

    SaveRunRecord();
    Trim();
    if (!unsaved.empty() && options_.offer)
        options_.offer(RecoveryMessage(unsaved, options_.folder));
}

void RecordingWriter::Process(Job& job) {
    if (job.kind == Job::Kind::Saved)
        RecordSaved();
    else
        Write(job.batch);
}

void RecordingWriter::Write(RecordingBatch& batch) {
    if (!EnsureRecordingFor(batch))
        return Dropped(batch);
    NumberLines(buffer_, batch.lines, recording_->dataLines() + 1);
    if (const int error = recording_->Append(buffer_, batch.count); error != 0) {
        const std::string path = options_.folder + "/" + recording_->name();
        DropEmptyRecording();
        Fail(path, error);
        return Dropped(batch);
    }
    failureReported_ = false; // writing works: a later failure is news again
    bytesSinceTrim_ += buffer_.size();
    if (bytesSinceTrim_ >= options_.trimEveryBytes)
        Trim();
}

void RecordingWriter::Dropped(const RecordingBatch& batch) {
    {
        std::lock_guard lock(mutex_);
        dropped_ += batch.count;
    }
    // Said when data sets are lost, not before: at the start it would hide what the
    // status line says about the instrument.
    ReportFailure();
}

void RecordingWriter::ReportFailure() {
    if (options_.report && !std::exchange(failureReported_, true))
        options_.report(failureText_);
}

bool RecordingWriter::EnsureRecordingFor(const RecordingBatch& batch) {
    if (recording_ && !batch.afterGap && recording_->header() == batch.header)
        return true;
    if (failed_ && std::chrono::steady_clock::now() < retryAt_)
        return false;
    CloseRecording();
    if (failed_) {
        if (const int error = MakeFolders(options_.folder, options_.calls); error != 0) {
            Fail(options_.folder, error);
            return false;
        }
    }
    RecordingFile::Created created =
        RecordingFile::Create(options_.folder, batch.firstTimestamp, batch.header, options_.calls);
    if (!created.file) {
        Fail(created.path, created.error);
        return false;
    }
    recording_ = std::move(created.file);
    failed_ = false;
    run_.files.push_back(recording_->name());
    SaveRunRecord();
    Trim();
    return true;
}

void RecordingWriter::RecordSaved() {
    run_.savedFile = recording_ ? recording_->name() : lastName_;
    run_.savedLines = recording_ ? recording_->dataLines() : lastLines_;
    SaveRunRecord();
}

void RecordingWriter::SaveRunRecord() {
    const std::string path = options_.folder + "/" + std::string(kRunRecordFileName);
    const SaveResult saved = SaveFileReplacing(path, SerializeRunRecord(run_), options_.calls);
    if (saved) {
        // The record replaces the old one by a rename: after a power cut the next start
        // must find this one, or it would not know the recordings of this run.
        SyncFolder(options_.folder, options_.calls);
    } else {
        failureText_ = fmt::format("Recording to disk failed: {}. Measuring goes on.", saved.error);
    }
}

void RecordingWriter::Trim() {
    bytesSinceTrim_ = 0;
    std::set<std::string> keep = keep_;
    if (recording_)
        keep.insert(recording_->name());
    TrimRecordings(options_.folder, options_.limits, keep);
}

void RecordingWriter::Fail(const std::string& path, int error) {
    CloseRecording();
    failed_ = true;
    retryAt_ = std::chrono::steady_clock::now() + options_.retryPause;
    failureText_ = fmt::format("Recording to disk failed: {} ({}). Measuring goes on.", Cause(error), path);
}

void RecordingWriter::DropEmptyRecording() {
    // On a disk that takes a header but no more, every retry would leave one behind.
    if (!recording_ || recording_->dataLines() > 0)
        return;
    const std::string name = recording_->name();
    recording_.reset();
    ::unlink((options_.folder + "/" + name).c_str());
    if (!run_.files.empty() && run_.files.back() == name)
        run_.files.pop_back();
}

void RecordingWriter::CloseRecording() {
    if (!recording_)
        return;
    recording_->Sync();
    lastName_ = recording_->name();
    lastLines_ = recording_->dataLines();
    recording_.reset();
}

} // namespace kantrel
