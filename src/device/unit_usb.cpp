#include "device/unit_usb.h"

#include <cstdlib>
#include <mutex>
#include <string>

#include "core/link_flags.h"
#include "core/ports.h"
#include "device/main_thread_call.h"

namespace kantrel {

namespace {

std::mutex processEndMutex;
std::function<void()> processEndHook;

// Every transfer is refused while the instrument is not connected or has reported the
// loss of its connection; the measurement read and the command write also after a data
// error. Refusals are silent.
bool Refused(bool afterDataError) {
    if (!instrumentConnected.load())
        return true;
    if (measData != nullptr && measData->IsConnectionLost())
        return true;
    return afterDataError && dataErrorLatched.load();
}

// A transfer that did not complete while the link was being taken down is part of the
// disconnect, not a fault of the instrument.
bool LinkClosing() {
    return !instrumentConnected.load();
}

} // namespace

UnitUSB& unitUsb() {
    // Never destroyed: worker threads still running at the end of the process may use it.
    static UnitUSB& link = *new UnitUSB;
    return link;
}

void SetProcessEndHook(std::function<void()> hook) {
    std::lock_guard lock(processEndMutex);
    processEndHook = std::move(hook);
}

void EndProcess() {
    std::function<void()> hook;
    {
        std::lock_guard lock(processEndMutex);
        hook = processEndHook;
    }
    if (hook) {
        hook();
        return;
    }
    std::exit(0);
}

bool UnitUSB::OpenUsbLink() {
    state_ = UsbLinkState{};
    if (transport_ == nullptr)
        return false;

    const OpenResult opened = transport_->Open();
    switch (opened.status) {
    case OpenResult::Status::Opened:
        break;
    case OpenResult::Status::NotFound:
        // The status line says "Tensolog not found"; why a device that looks like it could
        // not be used is said once, not at every attempt.
        if (!opened.hint.empty() && !unopenedDeviceReported_) {
            unopenedDeviceReported_ = true;
            window().ShowMessage(opened.hint, kCaptionWarning);
        }
        return false;
    case OpenResult::Status::DeviceListFailed:
        window().ShowMessage(kInvalidDeviceHandle, kCaptionError);
        return false;
    case OpenResult::Status::InUse: {
        std::string text(kDeviceInUse);
        if (!opened.hint.empty())
            text += "\n\n" + opened.hint;
        window().ShowMessage(text, kCaptionError);
        return false;
    }
    }
    state_.open = true;

    const auto pipes = transport_->QueryPipes();
    return pipes && AssignPipeRoles(*pipes);
}

bool UnitUSB::AssignPipeRoles(const std::vector<PipeInfo>& pipes) {
    for (const PipeInfo& pipe : pipes) {
        switch (pipe.type) {
        case PipeType::Bulk:
            if (!IsInPipe(pipe.pipeId)) {
                state_.s1PipeId = pipe.pipeId; // a later bulk OUT replaces an earlier one
            } else if (pipe.index == 1) {
                state_.r1PipeId = pipe.pipeId;
            } else if (pipe.index == 2) {
                state_.r2PipeId = pipe.pipeId;
            }
            break;
        case PipeType::Interrupt:
            state_.interruptPipeId = pipe.pipeId;
            break;
        case PipeType::Control:
        case PipeType::Isochronous:
            return false;
        }
    }
    // Roles that were not found keep pipe id 0; their transfers fail when they are made.
    return true;
}

void UnitUSB::CancelTransfers() {
    if (transport_ != nullptr && state_.open)
        transport_->CancelTransfers();
}

void UnitUSB::CloseUsbLink() {
    if (transport_ != nullptr && state_.open)
        transport_->Close();
    state_.open = false;
}

bool UnitUSB::ReadPrepared(std::uint8_t pipeId, int timeoutMs, std::atomic<bool>& eventLatch,
                           std::atomic<bool>& timeoutLatch, std::string_view eventText,
                           std::string_view timeoutText, const std::stop_token& caller) {
    if (!transport_->CreateCompletionWait(pipeId)) {
        if (!eventLatch.exchange(true))
            ShowMessageFrom(caller, eventText, kCaptionError);
        return false;
    }
    // Once the time-out could not be set, the pipe is not read again in this process.
    if (timeoutLatch.load())
        return false;
    if (!transport_->SetPipeTimeout(pipeId, timeoutMs)) {
        timeoutLatch.store(true);
        ShowMessageFrom(caller, timeoutText, kCaptionError);
        return false;
    }
    return true;
}

bool UnitUSB::ReadAnswerPacket(std::span<std::uint8_t, kAnswerPacketBytes> packet,
                               const std::stop_token& caller) {
    if (transport_ == nullptr || Refused(false))
        return false;
    if (!ReadPrepared(state_.r1PipeId, kR1TimeoutMs, latches_.r1Event, latches_.r1Timeout, kR1EventFailed,
                      kR1TimeoutFailed, caller))
        return false;

    const TransferOutcome outcome = transport_->Transfer(state_.r1PipeId, packet, kR1WaitMs).outcome;
    if (Completed(outcome))
        return true;
    if (outcome == TransferOutcome::NotCompleted) {
        // Nothing came within the wait: the command thread sees "#NOP".
        WriteSubstituteAnswer(packet);
        return true;
    }
    if (!LinkClosing())
        ShowMessageFrom(caller, kR1ReadError, kCaptionWarning);
    return false;
}

bool UnitUSB::ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame,
                                   const std::stop_token& caller) {
    for (;;) {
        const std::optional<std::size_t> length = ReadFrameTransfer(frame, caller);
        if (!length)
            return false;
        if (*length == frame.size())
            return true;
        // The device ended its transfer with a short packet in the middle of a frame: the
        // rest of that frame never comes. Its bytes are dropped rather than completed
        // with zeros, or with the start of the next frame, which would misplace every
        // later sample; the next transfer begins a whole frame.
        if (*length > 0)
            partialFramesDropped_.fetch_add(1, std::memory_order_relaxed);
        if (caller.stop_requested())
            return false;
    }
}

std::optional<std::size_t> UnitUSB::ReadFrameTransfer(std::span<std::uint8_t, kFrameBytes> frame,
                                                      const std::stop_token& caller) {
    if (transport_ == nullptr || Refused(true))
        return std::nullopt;
    if (!ReadPrepared(state_.r2PipeId, kR2TimeoutMs, latches_.r2Event, latches_.r2Timeout, kR2EventFailed,
                      kR2TimeoutFailed, caller))
        return std::nullopt;

    const TransferResult result = transport_->Transfer(state_.r2PipeId, frame, kR2WaitMs);
    if (Completed(result))
        return result.length;
    if (LinkClosing())
        return std::nullopt;
    if (result.outcome == TransferOutcome::NotCompleted) {
        OnMeasurementTimeout(caller);
    } else {
        ShowMessageFrom(caller, kR2ReadError, kCaptionWarning);
    }
    return std::nullopt;
}

void UnitUSB::OnMeasurementTimeout(const std::stop_token& caller) {
    if (dataErrorLatched.exchange(true))
        return;
    // The stream stopped: nothing more can be measured. The operator is told, may save
    // what was recorded, and the program ends whether or not anything was saved.
    RunOnMainThread({[] { window().ShowMessage(kDataError, kCaptionWarning); },
                     [] { window().SaveDataSets(); }, [] { EndProcess(); }},
                    caller);
}

void UnitUSB::WriteCommandPacket(std::span<const std::uint8_t, kCommandPacketBytes> packet) {
    if (transport_ == nullptr || Refused(true))
        return;
    const std::uint8_t pipeId = state_.s1PipeId;
    if (!transport_->CreateCompletionWait(pipeId)) {
        if (!latches_.s1.exchange(true))
            window().ShowMessage(kS1EventFailed, kCaptionError);
        return;
    }
    if (!transport_->SetPipeTimeout(pipeId, kS1TimeoutMs) && !latches_.s1.exchange(true)) {
        window().ShowMessage(kS1TimeoutFailed, kCaptionError);
        return;
    }
    // With the latch already set the write goes out with whatever time-out the pipe has.

    std::array<std::uint8_t, kCommandPacketBytes> bytes;
    std::copy(packet.begin(), packet.end(), bytes.begin());
    const TransferOutcome outcome = transport_->Transfer(pipeId, bytes, kS1WaitMs).outcome;
    if (Completed(outcome))
        return;
    if (outcome == TransferOutcome::NotCompleted) {
        if (dataErrorLatched.exchange(true))
            return;
        window().ShowMessage(kDataError, kCaptionERROR);
        window().SaveDataSets();
        return;
    }
    // Timers keep ticking while a message box is open and may write again; one box for
    // the write error is enough.
    if (writeErrorShowing_)
        return;
    writeErrorShowing_ = true;
    window().ShowMessage(kS1WriteError, kCaptionWarning);
    writeErrorShowing_ = false;
}

void UnitUSB::SendCommandText(std::string_view text) {
    const CommandMessage message = BuildCommandMessage(text);
    if (message.cut)
        window().ShowMessage(kCommandTooLong, kCaptionWarning);
    const std::span<const std::uint8_t, kCommandMessageBytes> block(message.block);
    WriteCommandPacket(block.first<kCommandPacketBytes>());
    WriteCommandPacket(block.last<kCommandPacketBytes>());
}

} // namespace kantrel
