#include "record/recording_run.h"

#include <cmath>
#include <ctime>
#include <fmt/format.h>
#include <limits>

#include "core/date_time.h"
#include "core/link_flags.h"
#include "core/value_text.h"
#include "device/connection.h"
#include "device/device_parameters.h"
#include "device/measuring_thread.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "record/console_report.h"
#include "record/event_loop.h"
#include "record/output_file.h"
#include "record/record_window.h"
#include "record/stop_signal.h"
#include "settings/settings.h"

namespace kantrel::record {

namespace {

std::string_view WithoutLeadingBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    return text;
}

// Milliseconds of sample time since the store was created.
std::int64_t SampleTimeMs(const TMeasData& store, double timestamp) {
    return std::llround((timestamp - store.clockStart) * 86400000.0);
}

// The offset from UTC of a local date-time (days); the data sets' times are local.
int LocalUtcOffsetSeconds(double days) {
    std::tm local = ToBrokenDownTime(DecodeDateTime(days));
    if (std::mktime(&local) == static_cast<std::time_t>(-1))
        return 0;
    return static_cast<int>(local.tm_gmtoff);
}

// The offset changes at most twice a year: one look per hour of data sets.
class UtcOffsetCache {
public:
    int For(double days) {
        const auto hour = static_cast<std::int64_t>(std::floor(days * 24.0));
        if (hour != hour_) {
            hour_ = hour;
            seconds_ = LocalUtcOffsetSeconds(days);
        }
        return seconds_;
    }

private:
    std::int64_t hour_ = std::numeric_limits<std::int64_t>::min();
    int seconds_ = 0;
};

UtcOffsetCache utcOffsets;

} // namespace

RecordingRun::RecordingRun(const RecordOptions& options, EventLoop& loop, Console& console,
                           OutputFile& output, RecordWindow& window)
    : options_(options), loop_(loop), console_(console), output_(output), window_(window),
      statistics_(options.limits) {}

RecordingRun::~RecordingRun() = default;

int RecordingRun::Execute() {
    startedAtMs_ = loop_.NowMs();
    // The save after a data error: what was recorded goes out now.
    window_.SetSaveAction([this] { FlushOutput(); });

    const ConnectResult connected = ConnectInstrument();
    if (!connected.opened || !connected.commandThreadStarted || !connected.measuringThreadStarted) {
        if (!connected.opened)
            console_.Error("kantrel731-record: " + std::string(kTensologNotFound) + "\n");
        DisconnectInstrument();
        DestroyMeasData();
        return kExitNoInstrument;
    }

    pollTimer_ = loop_.CreateTimer([this] { OnPollTick(); });
    pollTimer_->Start(kPollTickMs);
    loop_.Run();

    pollTimer_.reset();
    processTimer_.reset();
    progressTimer_.reset();
    DisconnectInstrument();
    if (output_.IsOpen() && !output_.Close() && !outputErrorShown_)
        console_.Error("kantrel731-record: " + output_.Error() + "\n");
    if (began_) {
        console_.Info(fmt::format("kantrel731-record: {} data set{} recorded{}\n", recorded_,
                                  recorded_ == 1 ? "" : "s", interrupted_ ? " (stopped by a signal)" : ""));
        console_.Info(SummaryText(statistics_.Result(), options_.limits, context_.unit));
    }
    DestroyMeasData();
    window_.SetSaveAction({});
    return ExitCode();
}

void RecordingRun::OnPollTick() {
    if (phase_ != Phase::Readout)
        return;
    if (StopSignalReceived() != 0) {
        interrupted_ = true;
        End();
        return;
    }
    if (dataErrorLatched.load()) {
        Fail("the instrument failed during its start-up readout");
        return;
    }
    if (!measData->IsReadoutDone()) {
        if (loop_.NowMs() - startedAtMs_ > kReadoutLimitMs)
            Fail(fmt::format("the instrument did not complete its start-up readout within {} s",
                             kReadoutLimitMs / 1000));
        return;
    }
    pollTimer_->Stop();
    BeginMeasuring();
}

void RecordingRun::BeginMeasuring() {
    began_ = true;
    const DeviceParameters& p = deviceParameters;
    context_.format = options_.format;
    context_.unit = p.unitText;
    context_.sampleRateIndex = sampleRateIndex;
    context_.decimalSeparator = regional().DecimalSeparator();
    context_.withVerdict = options_.limits.Any();

    if (console_.Watched()) {
        console_.Info(IdentificationText({p.deviceSerial, p.sensorSerial,
                                          std::string(WithoutLeadingBlanks(FormatValue(p.nominalValue))),
                                          context_.unit, window_.FirmwareText(),
                                          window_.DeviceErrorText()}));
    }
    if (!output_.Open(options_.outPath)) {
        console_.Error("kantrel731-record: " + output_.Error() + "\n");
        End();
        return;
    }
    output_.Append(FormatOutputHeader(context_));
    FlushOutput();

    processTimer_ = loop_.CreateTimer([this] { OnProcessTick(); });
    processTimer_->Start(kProcessTickMs);
    if (console_.Watched()) {
        progressTimer_ = loop_.CreateTimer([this] { OnProgressTick(); });
        progressTimer_->Start(kProgressTickMs);
    }

    // Automatic recording with nothing to prepare takes every mean from the connection on:
    // the ring still holds the samples measured during the readout. A single shot or a
    // key press is served by a mean taken from now on, so the backlog is processed first.
    if (options_.mode == RecordMode::Auto && !options_.zero && !options_.clearPeak)
        StartRecording();
    else
        phase_ = Phase::Draining;
}

void RecordingRun::OnProcessTick() {
    if (phase_ == Phase::Ended || measData == nullptr)
        return;
    measData->ProcessSamples();
    TakeNewDataSets();
    if (phase_ != Phase::Recording)
        AdvancePreparation();
    if (phase_ == Phase::Ended)
        return;
    if (const auto failure = InstrumentFailure()) {
        Fail(*failure);
        return;
    }
    if (phase_ == Phase::Recording && RecordingComplete()) {
        End();
        return;
    }
    if (StopSignalReceived() != 0) {
        interrupted_ = true;
        End();
        return;
    }
    FlushOutput();
}

void RecordingRun::AdvancePreparation() {
    const TMeasData& store = *measData;
    switch (phase_) {
    case Phase::Draining:
        if (options_.zero) {
            zeroBefore_ = store.zeroValue;
            zeroRunning_ = false;
            commandSentAtMs_ = store.elapsedMs;
            ZeroClick();
            phase_ = Phase::Zeroing;
            return;
        }
        ClearPeakOrStartRecording();
        return;
    case Phase::Zeroing:
        // The store averages the readings after the instrument's zero mark into its zero.
        if (store.zeroCountdown > 0) {
            zeroRunning_ = true;
        } else if (zeroRunning_ || store.zeroValue != zeroBefore_) {
            ClearPeakOrStartRecording();
        } else if (store.elapsedMs - commandSentAtMs_ > kZeroLimitMs) {
            Fail(fmt::format("the instrument did not zero within {} s", kZeroLimitMs / 1000));
        }
        return;
    case Phase::Settling:
        if (store.elapsedMs - commandSentAtMs_ >= kPeakClearSettleMs)
            StartRecording();
        return;
    case Phase::Readout:
    case Phase::Recording:
    case Phase::Ended:
        return;
    }
}

void RecordingRun::ClearPeakOrStartRecording() {
    if (!options_.clearPeak) {
        StartRecording();
        return;
    }
    commandSentAtMs_ = measData->elapsedMs;
    clrPeakClick();
    phase_ = Phase::Settling;
}

void RecordingRun::StartRecording() {
    TMeasData& store = *measData;
    phase_ = Phase::Recording;
    recordFromMs_ = store.elapsedMs;
    takenPos_ = store.GetDataListPos();
    switch (options_.mode) {
    case RecordMode::Auto:
        store.SetAutoRecording(true);
        break;
    case RecordMode::Single:
        store.RequestSingleShot();
        break;
    case RecordMode::Key:
        settings.useSelKeySingleShot = 1;
        break;
    }
}

void RecordingRun::TakeNewDataSets() {
    const TMeasData& store = *measData;
    const int newest = store.GetDataListPos();
    if (phase_ != Phase::Recording) {
        takenPos_ = newest;
        return;
    }
    // One tick stores at most about a second of data sets, far fewer than the table holds,
    // so the rows since the last one taken have not been overwritten yet.
    const int size = store.GetDataListSize();
    const int fresh = ((newest - takenPos_) % size + size) % size;
    for (int k = 1; k <= fresh; ++k)
        Accept(store.Row((takenPos_ + k + size) % size));
    takenPos_ = newest;
}

void RecordingRun::Accept(const tDataListArray& row) {
    if (options_.count && recorded_ >= *options_.count)
        return;
    if (options_.durationMs && SampleTimeMs(*measData, row.timestamp) > recordFromMs_ + *options_.durationMs)
        return;
    const auto number = ReadValueText(row.meanText, context_.decimalSeparator);
    const double value = number ? number->value : std::numeric_limits<double>::quiet_NaN();
    statistics_.Add(value);
    ++recorded_;
    output_.Append(FormatOutputDataSet(
        context_, {recorded_, &row, utcOffsets.For(row.timestamp), Judge(value, options_.limits)}));
}

bool RecordingRun::RecordingComplete() const {
    if (options_.mode == RecordMode::Single && recorded_ >= 1)
        return true;
    if (options_.count && recorded_ >= *options_.count)
        return true;
    return options_.durationMs && measData->elapsedMs >= recordFromMs_ + *options_.durationMs;
}

std::optional<std::string> RecordingRun::InstrumentFailure() const {
    if (measData->IsConnectionLost())
        return "the connection to the instrument was lost";
    if (dataErrorLatched.load())
        return "data error: the instrument stopped working";
    if (window_.Shown(kSensorCalibrationError))
        return "the sensor's calibration table cannot convert the readings";
    const TdataThread2* measuring = MeasuringThread();
    if (measuring == nullptr || measuring->Finished())
        return "the instrument stopped sending measurements";
    return std::nullopt;
}

void RecordingRun::Fail(std::string message) {
    if (phase_ == Phase::Ended)
        return;
    failed_ = true;
    console_.Error("kantrel731-record: " + message + "\n");
    End();
}

void RecordingRun::End() {
    if (phase_ == Phase::Ended)
        return;
    if (phase_ == Phase::Recording && measData != nullptr) {
        // The samples that have arrived are measured too: nothing is left in the ring.
        measData->ProcessSamples();
        TakeNewDataSets();
        measData->SetAutoRecording(false);
    }
    settings.useSelKeySingleShot = 0;
    phase_ = Phase::Ended;
    for (auto* timer : {pollTimer_.get(), processTimer_.get(), progressTimer_.get()})
        if (timer != nullptr)
            timer->Stop();
    FlushOutput();
    loop_.Quit();
}

void RecordingRun::OnProgressTick() {
    if (measData == nullptr)
        return;
    const std::int64_t elapsed = phase_ == Phase::Recording ? measData->elapsedMs - recordFromMs_ : 0;
    std::string text =
        ProgressText(recorded_, WithoutLeadingBlanks(measData->GetMeanText()), context_.unit, elapsed);
    if (phase_ == Phase::Zeroing)
        text = "zeroing, " + text;
    console_.Progress(text);
}

void RecordingRun::FlushOutput() {
    if (!output_.IsOpen() || output_.Flush() || outputErrorShown_)
        return;
    outputErrorShown_ = true;
    console_.Error("kantrel731-record: " + output_.Error() + "\n");
    End();
}

int RecordingRun::ExitCode() const {
    if (output_.Failed())
        return kExitOutputFailed;
    if (failed_)
        return kExitInstrumentFailed;
    if (options_.limits.Any() && !statistics_.Result().AllPassed())
        return kExitOutsideLimits;
    return kExitDone;
}

} // namespace kantrel::record
