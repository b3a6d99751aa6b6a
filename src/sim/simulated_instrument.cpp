#include "sim/simulated_instrument.h"

#include <algorithm>

#include "sim/signal.h"

namespace kantrel::sim {

namespace {
constexpr std::size_t kMessageBytes = 32;
constexpr int kSamplesPerFrame = 10;
} // namespace

SimulatedInstrument::SimulatedInstrument(Scenario scenario, SimClock& clock)
    : scenario_(std::move(scenario)), clock_(clock) {
    clock_.AddWaiter(mutex_, changed_);
}

SimulatedInstrument::~SimulatedInstrument() {
    clock_.RemoveWaiter(changed_);
}

OpenResult SimulatedInstrument::Open() {
    std::lock_guard lock(mutex_);
    if (!scenario_.present)
        return {OpenResult::Status::NotFound, {}};
    open_ = true;
    cancelled_ = false;
    originMs_ = clock_.NowMs();
    pipeTimeouts_.clear();
    answers_.clear();
    nextFrame_ = 0;
    sampleCodes_.clear();
    for (std::int64_t t : scenario_.keyPressAtMs)
        sampleCodes_.emplace(t, '3');
    if (scenario_.connectionLostAtMs)
        sampleCodes_.emplace(*scenario_.connectionLostAtMs, '5');
    nextPeriodicKeyMs_ = scenario_.keyPressEveryMs;
    deviceError_ = scenario_.deviceError;
    partialMessage_.clear();
    answerReader_ = frameReader_ = commandWriter_ = Reader{};
    changed_.notify_all();
    return {OpenResult::Status::Opened, {}};
}

std::optional<std::vector<PipeInfo>> SimulatedInstrument::QueryPipes() {
    return std::vector<PipeInfo>{
        {PipeType::Bulk, kCommandPipe, 0}, {PipeType::Bulk, kAnswerPipe, 1}, {PipeType::Bulk, kFramePipe, 2}};
}

bool SimulatedInstrument::SetPipeTimeout(std::uint8_t pipeId, int timeoutMs) {
    std::lock_guard lock(mutex_);
    pipeTimeouts_[pipeId] = timeoutMs;
    return true;
}

void SimulatedInstrument::CancelTransfers() {
    std::lock_guard lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}

void SimulatedInstrument::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
    cancelled_ = true;
    changed_.notify_all();
}

TransferResult SimulatedInstrument::Transfer(std::uint8_t pipeId, std::span<std::uint8_t> buffer,
                                             int waitMs) {
    std::unique_lock lock(mutex_);
    if (!open_ || cancelled_)
        return {TransferOutcome::Failed, 0};
    // The instrument's packets are never longer than the program's reads.
    const auto moved = [](TransferOutcome o, std::size_t n) {
        return TransferResult{o, Completed(o) ? n : 0};
    };
    switch (pipeId) {
    case kCommandPipe:
        return moved(WriteCommand(lock, buffer, waitMs), buffer.size());
    case kAnswerPipe:
        return moved(ReadAnswer(lock, buffer, waitMs), std::min(buffer.size(), AnswerPacket{}.size()));
    case kFramePipe:
        return moved(ReadFrame(lock, buffer, waitMs), std::min(buffer.size(), kMessageBytes));
    default:
        return {TransferOutcome::Failed, 0};
    }
}

std::int64_t SimulatedInstrument::DeadlineFor(std::uint8_t pipeId, std::int64_t start, int waitMs) const {
    std::int64_t limit = waitMs > 0 ? waitMs : kNever;
    // A pipe time-out of 0 means none.
    const auto timeout = pipeTimeouts_.find(pipeId);
    if (timeout != pipeTimeouts_.end() && timeout->second > 0)
        limit = std::min<std::int64_t>(limit, timeout->second);
    return limit == kNever ? kNever : start + limit;
}

TransferOutcome SimulatedInstrument::Await(std::unique_lock<std::mutex>& lock,
                                           const std::function<std::int64_t()>& due, std::int64_t deadline,
                                           Reader& reader) {
    if (due() <= clock_.NowMs())
        return TransferOutcome::CompletedAtOnce;
    reader.parked = true;
    reader.deadlineMs = deadline;
    changed_.notify_all();
    TransferOutcome outcome = TransferOutcome::NotCompleted;
    for (;;) {
        if (cancelled_) {
            outcome = TransferOutcome::Failed;
            break;
        }
        const std::int64_t now = clock_.NowMs();
        // A packet due after the deadline is never taken, however far the clock jumped.
        if (due() <= std::min(now, deadline)) {
            outcome = TransferOutcome::CompletedAfterWait;
            break;
        }
        if (now >= deadline)
            break;
        const std::int64_t dueBefore = due();
        clock_.WaitUntil(lock, changed_, std::min(dueBefore, deadline),
                         [&] { return cancelled_ || due() != dueBefore; });
    }
    reader.parked = false;
    return outcome;
}

TransferOutcome SimulatedInstrument::ReadAnswer(std::unique_lock<std::mutex>& lock,
                                                std::span<std::uint8_t> buffer, int waitMs) {
    answerReader_.seen = answerReader_.inTransfer = true;
    const std::int64_t deadline = DeadlineFor(kAnswerPipe, clock_.NowMs(), waitMs);
    const TransferOutcome outcome = Await(
        lock, [this] { return answers_.empty() ? kNever : answers_.front().dueMs; }, deadline, answerReader_);
    if (Completed(outcome)) {
        const AnswerPacket& packet = answers_.front().packet;
        std::copy_n(packet.begin(), std::min(buffer.size(), packet.size()), buffer.begin());
        answers_.pop_front();
    }
    answerReader_.inTransfer = false;
    changed_.notify_all();
    return outcome;
}

TransferOutcome SimulatedInstrument::ReadFrame(std::unique_lock<std::mutex>& lock,
                                               std::span<std::uint8_t> buffer, int waitMs) {
    frameReader_.seen = frameReader_.inTransfer = true;
    const std::int64_t deadline = DeadlineFor(kFramePipe, clock_.NowMs(), waitMs);
    const TransferOutcome outcome = Await(
        lock, [this] { return FrameDueMs(nextFrame_); }, deadline, frameReader_);
    if (Completed(outcome))
        FillFrame(nextFrame_++, buffer);
    frameReader_.inTransfer = false;
    changed_.notify_all();
    return outcome;
}

TransferOutcome SimulatedInstrument::WriteCommand(std::unique_lock<std::mutex>& lock,
                                                  std::span<std::uint8_t> buffer, int waitMs) {
    const std::int64_t start = clock_.NowMs();
    const Stall& stall = scenario_.s1Stall;
    const std::int64_t acceptAt = stall.Covers(start - originMs_) ? originMs_ + stall.EndMs() : start;
    commandWriter_.inTransfer = true;
    const TransferOutcome outcome = Await(
        lock, [acceptAt] { return acceptAt; }, DeadlineFor(kCommandPipe, start, waitMs), commandWriter_);
    commandWriter_.inTransfer = false;
    changed_.notify_all();
    if (!Completed(outcome)) {
        partialMessage_.clear(); // the message is broken
        return outcome;
    }
    partialMessage_.insert(partialMessage_.end(), buffer.begin(), buffer.end());
    if (partialMessage_.size() >= kMessageBytes) {
        std::array<std::uint8_t, kMessageBytes> message{};
        std::copy_n(partialMessage_.begin(), kMessageBytes, message.begin());
        partialMessage_.clear();
        HandleCommand(CommandText(message));
    }
    return outcome;
}

void SimulatedInstrument::HandleCommand(const std::string& command) {
    commands_.push_back(command);
    const std::int64_t now = clock_.NowMs();
    const std::int64_t answerAt = now + scenario_.answerDelayMs;
    const std::string code = command.substr(0, 4);

    if (code == "#A03")
        ScheduleCode(answerAt - originMs_, '1');
    if (code == "#A13")
        ScheduleCode(answerAt - originMs_, '4');
    if (code == "#B03")
        ScheduleCode(answerAt - originMs_, '2');

    const bool silent = std::find(scenario_.silentCommands.begin(), scenario_.silentCommands.end(), code) !=
                        scenario_.silentCommands.end();
    const auto payload = AnswerPayload(scenario_, code, deviceError_);
    if (code == "#Y01")
        deviceError_ = std::string(kNoErrorText);
    if (silent || !payload)
        return;

    const Stall& stall = scenario_.r1Stall;
    const std::int64_t due = stall.Covers(answerAt - originMs_) ? originMs_ + stall.EndMs() : answerAt;
    for (const AnswerPacket& packet : BuildAnswerPackets(code, *payload))
        answers_.push_back({due, packet});
    changed_.notify_all();
}

std::int64_t SimulatedInstrument::FrameDueMs(std::int64_t frame) const {
    const std::int64_t nominal = (frame + 1) * kFramePeriodMs;
    const Stall& stall = scenario_.r2Stall;
    return originMs_ + (stall.Covers(nominal) ? stall.EndMs() : nominal);
}

void SimulatedInstrument::FillFrame(std::int64_t frame, std::span<std::uint8_t> buffer) {
    std::array<std::uint8_t, 32> bytes{};
    for (int k = 0; k < kSamplesPerFrame; ++k) {
        const std::int64_t t = frame * kFramePeriodMs + k;
        const auto raw = static_cast<std::uint16_t>(RawCountAt(scenario_, t));
        bytes[static_cast<std::size_t>(3 * k)] = static_cast<std::uint8_t>(TakeSampleCode(t));
        bytes[static_cast<std::size_t>(3 * k + 1)] = static_cast<std::uint8_t>(raw & 0xFF);
        bytes[static_cast<std::size_t>(3 * k + 2)] = static_cast<std::uint8_t>(raw >> 8);
    }
    std::copy_n(bytes.begin(), std::min(buffer.size(), bytes.size()), buffer.begin());
}

void SimulatedInstrument::ScheduleCode(std::int64_t tMs, char code) {
    sampleCodes_.emplace(tMs, code);
}

// One code per sample: the earliest that is due; later ones go on the following samples.
char SimulatedInstrument::TakeSampleCode(std::int64_t tMs) {
    if (scenario_.keyPressEveryMs > 0) {
        for (; nextPeriodicKeyMs_ <= tMs; nextPeriodicKeyMs_ += scenario_.keyPressEveryMs)
            sampleCodes_.emplace(nextPeriodicKeyMs_, '3');
    }
    const auto first = sampleCodes_.begin();
    if (first == sampleCodes_.end() || first->first > tMs)
        return 0;
    const char code = first->second;
    sampleCodes_.erase(first);
    return code;
}

bool SimulatedInstrument::PipeDelivered(const Reader& reader, std::int64_t nextDueMs) const {
    const std::int64_t now = clock_.NowMs();
    if (nextDueMs <= now)
        return false;
    return !reader.seen || (reader.parked && reader.deadlineMs > now);
}

bool SimulatedInstrument::Delivered() const {
    if (!open_ || cancelled_)
        return true;
    const bool answersTaken =
        PipeDelivered(answerReader_, answers_.empty() ? kNever : answers_.front().dueMs);
    const bool framesTaken = PipeDelivered(frameReader_, FrameDueMs(nextFrame_)) ||
                             (!frameReader_.inTransfer && consumerFull_ && consumerFull_());
    return answersTaken && framesTaken;
}

bool SimulatedInstrument::WaitUntilDelivered(std::chrono::milliseconds limit) {
    const auto giveUpAt = std::chrono::steady_clock::now() + limit;
    std::unique_lock lock(mutex_);
    while (!Delivered()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= giveUpAt)
            return false;
        // The frame reader gives no sign when it stops because its consumer is full:
        // between its transfers, look again shortly.
        const bool mayStopSilently = consumerFull_ && !frameReader_.inTransfer;
        changed_.wait_until(lock, mayStopSilently ? std::min(giveUpAt, now + std::chrono::milliseconds(1))
                                                  : giveUpAt);
    }
    return true;
}

void SimulatedInstrument::SetConsumerFullProbe(std::function<bool()> consumerFull) {
    std::lock_guard lock(mutex_);
    consumerFull_ = std::move(consumerFull);
}

const SimulatedInstrument::Reader* SimulatedInstrument::ReaderOf(std::uint8_t pipeId) const {
    switch (pipeId) {
    case kCommandPipe:
        return &commandWriter_;
    case kAnswerPipe:
        return &answerReader_;
    case kFramePipe:
        return &frameReader_;
    default:
        return nullptr;
    }
}

bool SimulatedInstrument::WaitUntilBlocked(std::uint8_t pipeId, std::chrono::milliseconds limit) {
    const Reader* reader = ReaderOf(pipeId);
    if (reader == nullptr)
        return false;
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [reader] { return reader->parked; });
}

std::vector<std::string> SimulatedInstrument::ReceivedCommands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

std::int64_t SimulatedInstrument::FramesSent() const {
    std::lock_guard lock(mutex_);
    return nextFrame_;
}

bool SimulatedInstrument::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

std::int64_t SimulatedInstrument::OpenedAtMs() const {
    std::lock_guard lock(mutex_);
    return originMs_;
}

} // namespace kantrel::sim
