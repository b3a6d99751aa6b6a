#pragma once

// A Tensolog made of software: a UsbTransport with the instrument's three pipes that
// answers commands from its scenario and streams one 32-byte frame of ten samples per
// 10 ms of its clock.
//
//   pipe 0x01  bulk OUT, endpoint index 0   command messages (two 16-byte packets)
//   pipe 0x81  bulk IN,  endpoint index 1   answer packets
//   pipe 0x82  bulk IN,  endpoint index 2   measurement frames
//
// A transfer blocks until the clock reaches the time its packet is due, until the pipe's
// time-out (in clock time) has passed, or until the link is cancelled or closed. Frame i
// after the open holds the samples of the milliseconds 10i .. 10i+9 and is due at
// 10(i+1); a reader that falls behind gets the frames it missed at once, in order.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "device/usb_transport.h"
#include "sim/instrument_answers.h"
#include "sim/scenario.h"
#include "sim/sim_clock.h"

namespace kantrel::sim {

class SimulatedInstrument : public UsbTransport {
public:
    static constexpr std::uint8_t kCommandPipe = 0x01;
    static constexpr std::uint8_t kAnswerPipe = 0x81;
    static constexpr std::uint8_t kFramePipe = 0x82;
    static constexpr std::int64_t kFramePeriodMs = 10;

    SimulatedInstrument(Scenario scenario, SimClock& clock);
    ~SimulatedInstrument() override;
    SimulatedInstrument(const SimulatedInstrument&) = delete;
    SimulatedInstrument& operator=(const SimulatedInstrument&) = delete;

    OpenResult Open() override;
    std::optional<std::vector<PipeInfo>> QueryPipes() override;
    bool CreateCompletionWait(std::uint8_t) override { return true; }
    bool SetPipeTimeout(std::uint8_t pipeId, int timeoutMs) override;
    TransferResult Transfer(std::uint8_t pipeId, std::span<std::uint8_t> buffer, int waitMs) override;
    void CancelTransfers() override;
    void Close() override;

    // For tests on a manual clock: waits, at most limit of real time, until the readers
    // have taken everything that is due and are back waiting for more. For each IN pipe:
    // its reader is blocked in a transfer whose packet and time-out both lie ahead; or no
    // reader has come to the pipe since the open and nothing is due on it; or (frames)
    // the reader does not read because its consumer is full (see SetConsumerFullProbe).
    // True at once when the link is not open.
    bool WaitUntilDelivered(std::chrono::milliseconds limit);
    // Tells WaitUntilDelivered when the frame reader has stopped reading for lack of room.
    // Called with the instrument's lock held; it must not call back into the instrument.
    void SetConsumerFullProbe(std::function<bool()> consumerFull);
    // Waits, at most limit, until a transfer on the pipe is blocked, waiting for its
    // packet or its time-out.
    bool WaitUntilBlocked(std::uint8_t pipeId, std::chrono::milliseconds limit);

    std::vector<std::string> ReceivedCommands() const;
    std::int64_t FramesSent() const;
    bool IsOpen() const;
    std::int64_t OpenedAtMs() const; // clock time of the last open

private:
    struct QueuedAnswer {
        std::int64_t dueMs;
        AnswerPacket packet;
    };
    struct Reader {
        bool seen = false; // has transferred since the open
        bool inTransfer = false;
        bool parked = false; // blocked, waiting for its packet or its time-out
        std::int64_t deadlineMs = 0;
    };

    std::int64_t DeadlineFor(std::uint8_t pipeId, std::int64_t start, int waitMs) const;
    TransferOutcome Await(std::unique_lock<std::mutex>& lock, const std::function<std::int64_t()>& due,
                          std::int64_t deadline, Reader& reader);
    TransferOutcome ReadAnswer(std::unique_lock<std::mutex>& lock, std::span<std::uint8_t> buffer,
                               int waitMs);
    TransferOutcome ReadFrame(std::unique_lock<std::mutex>& lock, std::span<std::uint8_t> buffer, int waitMs);
    TransferOutcome WriteCommand(std::unique_lock<std::mutex>& lock, std::span<std::uint8_t> buffer,
                                 int waitMs);
    void HandleCommand(const std::string& command);
    std::int64_t FrameDueMs(std::int64_t frame) const;
    void FillFrame(std::int64_t frame, std::span<std::uint8_t> buffer);
    char TakeSampleCode(std::int64_t tMs);
    void ScheduleCode(std::int64_t tMs, char code);
    bool Delivered() const;
    bool PipeDelivered(const Reader& reader, std::int64_t nextDueMs) const;
    const Reader* ReaderOf(std::uint8_t pipeId) const;

    const Scenario scenario_;
    SimClock& clock_;

    mutable std::mutex mutex_;
    std::condition_variable changed_; // the clock moved, or a transfer began or ended
    bool open_ = false;
    bool cancelled_ = false;
    std::int64_t originMs_ = 0;
    std::map<std::uint8_t, int> pipeTimeouts_;
    std::deque<QueuedAnswer> answers_;
    std::int64_t nextFrame_ = 0;
    std::multimap<std::int64_t, char> sampleCodes_; // times relative to the open
    std::int64_t nextPeriodicKeyMs_ = 0;
    std::string deviceError_;
    std::vector<std::uint8_t> partialMessage_;
    std::vector<std::string> commands_;
    Reader answerReader_, frameReader_, commandWriter_;
    std::function<bool()> consumerFull_;
};

} // namespace kantrel::sim
