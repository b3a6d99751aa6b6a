#pragma once

// UnitUSB: the link to the one instrument over a UsbTransport. It assigns the pipe roles
// when the link opens and offers one blocking transfer per role:
//
//   R1  bulk IN at endpoint index 1   16-byte answer packets    pipe time-out 1000 ms, wait 2000 ms
//   R2  bulk IN at endpoint index 2   32-byte measurement frames  750 ms, wait 750 ms
//   S1  bulk OUT (any index)          16-byte command packets   1500 ms, wait 1500 ms
//
// Only a transfer that cannot be started is an error of the pipe. One that was started
// and has not completed when its wait ends, for whatever reason (time-out, stall, the
// instrument unplugged), takes the time-out path: an R1 read then yields the substitute
// answer "#NOP" and succeeds, since the command thread reads R1 continuously and an idle
// instrument simply has nothing to say; an R2 read or S1 write means the instrument has
// stopped working: the data error is latched once, the operator is asked to save, and
// after R2 the program ends. Set-up failures are reported once per pipe and latched for
// the life of the process. A measurement transfer shorter than a frame holds no whole
// frame: it is dropped and counted, and the frame read goes on with the next transfer.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>
#include <string_view>

#include "device/packet_layout.h"
#include "device/usb_transport.h"
#include "measure/meas_data.h"

namespace kantrel {

struct PipeRole {
    std::uint8_t pipeId;
    int timeoutMs; // pipe time-out, set before every transfer
    int waitMs;    // how long the transfer is waited for
};
inline constexpr int kR1TimeoutMs = 1000, kR1WaitMs = 2000;
inline constexpr int kR2TimeoutMs = 750, kR2WaitMs = 750;
inline constexpr int kS1TimeoutMs = 1500, kS1WaitMs = 1500;

// Operator texts of the link.
inline constexpr std::string_view kInvalidDeviceHandle = "Invalid Device Handle";
inline constexpr std::string_view kDeviceInUse = "device in use?";
inline constexpr std::string_view kR1EventFailed = "R1: Can not Create Event in UnitUSB";
inline constexpr std::string_view kR1TimeoutFailed = "R1: Can not set TimeOut in UnitUSB";
inline constexpr std::string_view kR1ReadError = "Error WinUsb_ReadPipe in UnitUSB";
inline constexpr std::string_view kR2EventFailed = "R2: Can not Create Event in UnitUSB";
inline constexpr std::string_view kR2TimeoutFailed = "R2: Can not set TimeOut in UnitUSB";
inline constexpr std::string_view kR2ReadError = "R2: Error WinUsb_ReadPipe in UnitUSB";
inline constexpr std::string_view kS1EventFailed = "S1: Can not Create Event in UnitUSB";
inline constexpr std::string_view kS1TimeoutFailed = "S1: Can not set TimeOut in UnitUSB";
inline constexpr std::string_view kS1WriteError = "S1: Error WinUsb_WritePipe in UnitUSB";
inline constexpr std::string_view kDataError = "Data error, save data and repower device";
inline constexpr std::string_view kCommandTooLong = "Command String too long, cut";

struct UsbLinkState {
    bool open = false;
    std::uint8_t s1PipeId = 0;
    std::uint8_t r1PipeId = 0;
    std::uint8_t r2PipeId = 0;
    std::uint8_t interruptPipeId = 0; // kept, not used
};

// Set once, never cleared: a failing set-up is reported the first time only.
struct LinkLatches {
    std::atomic<bool> r1Event{false};
    std::atomic<bool> r1Timeout{false};
    std::atomic<bool> r2Event{false};
    std::atomic<bool> r2Timeout{false};
    std::atomic<bool> s1{false}; // event and time-out of S1 share one latch
};

class UnitUSB : public FrameSource {
public:
    UnitUSB() = default;
    explicit UnitUSB(UsbTransport* transport) : transport_(transport) {}
    UnitUSB(const UnitUSB&) = delete;
    UnitUSB& operator=(const UnitUSB&) = delete;

    // Main thread, while the link is closed.
    void SetTransport(UsbTransport* transport) { transport_ = transport; }
    UsbTransport* Transport() const { return transport_; }

    // Main thread, while no worker thread exists.
    bool OpenUsbLink();
    void CloseUsbLink();
    // Ends blocked transfers at once; used while the link is being taken down.
    void CancelTransfers();

    // The reads take the stop token of the calling worker thread, so that a message it
    // must have shown on the main thread never holds up its own end. A default token
    // means the caller is the main thread.
    bool ReadAnswerPacket(std::span<std::uint8_t, kAnswerPacketBytes> packet,
                          const std::stop_token& caller = {});
    bool ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame, const std::stop_token& caller);
    bool ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame) override {
        return ReadMeasurementFrame(frame, std::stop_token{});
    }
    // Main thread.
    void WriteCommandPacket(std::span<const std::uint8_t, kCommandPacketBytes> packet);
    void SendCommandText(std::string_view text);

    const UsbLinkState& State() const { return state_; }
    const LinkLatches& Latches() const { return latches_; }
    // Measurement transfers shorter than a frame, whose bytes were dropped.
    std::uint64_t PartialFramesDropped() const {
        return partialFramesDropped_.load(std::memory_order_relaxed);
    }

private:
    bool AssignPipeRoles(const std::vector<PipeInfo>& pipes);
    bool ReadPrepared(std::uint8_t pipeId, int timeoutMs, std::atomic<bool>& eventLatch,
                      std::atomic<bool>& timeoutLatch, std::string_view eventText,
                      std::string_view timeoutText, const std::stop_token& caller);
    // One R2 transfer: the bytes it moved, nullopt when it failed.
    std::optional<std::size_t> ReadFrameTransfer(std::span<std::uint8_t, kFrameBytes> frame,
                                                 const std::stop_token& caller);
    void OnMeasurementTimeout(const std::stop_token& caller);

    UsbTransport* transport_ = nullptr;
    UsbLinkState state_;
    LinkLatches latches_;
    bool writeErrorShowing_ = false; // main thread
    // Main thread: the hint about devices that could not be opened has been shown.
    bool unopenedDeviceReported_ = false;
    std::atomic<std::uint64_t> partialFramesDropped_{0};
};

// The link of the process, used by the connection and the command channel.
UnitUSB& unitUsb();

// What ends the program after a data error on the measurement pipe; std::exit(0) unless
// replaced (tests observe it). An empty function restores the default.
void SetProcessEndHook(std::function<void()> hook);
void EndProcess();

} // namespace kantrel
