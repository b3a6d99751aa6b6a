#include "files/flight_recorder.h"

#include "device/device_parameters.h"
#include "files/data_file_writer.h"
#include "measure/meas_data.h"
#include "settings/settings.h"

namespace kantrel {

namespace {

constexpr std::uint64_t kBytesPerMB = 1024u * 1024u;

// Texts from the worker reach the window on the main thread.
RecorderOptions WithWindowMessages(RecorderOptions options) {
    if (!options.report)
        options.report = [](std::string text) {
            window().PostToMainThread([text = std::move(text)] { window().SetStatusText(text); });
        };
    if (!options.offer)
        options.offer = [](std::string text) {
            window().PostToMainThread(
                [text = std::move(text)] { window().ShowMessage(text, kCaptionInformation); });
        };
    return options;
}

} // namespace

FlightRecorder::FlightRecorder(RecorderOptions options) : writer_(WithWindowMessages(std::move(options))) {}

FlightRecorder::~FlightRecorder() {
    Close();
}

void FlightRecorder::Start() {
    writer_.Start();
}

void FlightRecorder::DataSetStored(const TMeasData& store, int row) {
    if (closed_)
        return;
    const std::string& unit = deviceParameters.unitText;
    if (unit != unit_ || sampleRateIndex != sampleRate_) {
        FinishBatch();
        unit_ = unit;
        sampleRate_ = sampleRateIndex;
        header_ = BuildHeaderLine(DataSetCaptions(unit_), sampleRate_);
    }
    const tDataListArray& r = store.Row(row);
    if (batch_.count == 0) {
        batch_.header = header_;
        batch_.firstTimestamp = r.timestamp;
    }
    AppendDataSetFields(batch_.lines, r);
    batch_.lines += "\r\n";
    ++batch_.count;

    if (!handOffPosted_) {
        handOffPosted_ = true;
        window().PostToMainThread([this, alive = std::weak_ptr<char>(alive_)] {
            if (alive.lock())
                HandOff();
        });
    }
}

void FlightRecorder::DataSetsSaved() {
    if (closed_)
        return;
    HandOff();
    writer_.MarkSaved();
}

void FlightRecorder::HandOff() {
    handOffPosted_ = false;
    FinishBatch();
    for (RecordingBatch& batch : ready_)
        writer_.Submit(std::move(batch));
    ready_.clear();
}

void FlightRecorder::Close() {
    if (closed_)
        return;
    HandOff();
    writer_.Stop();
    closed_ = true;
}

void FlightRecorder::FinishBatch() {
    if (batch_.count == 0)
        return;
    ready_.push_back(std::move(batch_));
    batch_ = RecordingBatch{};
}

std::unique_ptr<FlightRecorder> StartFlightRecorder() {
    if (!settings.FlightRecorder)
        return nullptr;
    const std::optional<std::string> folder = RecordingsFolder();
    if (!folder) {
        window().SetStatusText("Recording to disk is off: there is no folder for the recordings.");
        return nullptr;
    }
    RecorderOptions options;
    options.folder = *folder;
    options.limits.maxBytes = static_cast<std::uint64_t>(settings.RecordingsMaxMB) * kBytesPerMB;
    options.limits.keepDays = settings.RecordingsKeepDays;
    auto recorder = std::make_unique<FlightRecorder>(std::move(options));
    recorder->Start();
    return recorder;
}

} // namespace kantrel
