#pragma once

// A UsbTransport whose every step is scripted by the test: open result, endpoint list,
// set-up failures per pipe, and the outcome (and bytes) of each transfer per pipe.

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "device/unit_usb.h"
#include "device/usb_transport.h"

namespace kantrel::test {

inline constexpr std::uint8_t kS1 = 0x01, kR1 = 0x81, kR2 = 0x82;

inline std::vector<PipeInfo> StandardPipes() {
    return {{PipeType::Bulk, kS1, 0}, {PipeType::Bulk, kR1, 1}, {PipeType::Bulk, kR2, 2}};
}

class ScriptedTransport : public UsbTransport {
public:
    struct Step {
        TransferOutcome outcome;
        std::vector<std::uint8_t> bytes;   // what an IN transfer delivers
        std::optional<std::size_t> length; // bytes moved; the whole buffer when not given
    };
    struct Written {
        std::uint8_t pipeId;
        std::vector<std::uint8_t> bytes;
    };

    OpenResult Open() override {
        std::lock_guard lock(mutex);
        ++opens;
        return openResult;
    }
    std::optional<std::vector<PipeInfo>> QueryPipes() override {
        std::lock_guard lock(mutex);
        return pipes;
    }
    bool CreateCompletionWait(std::uint8_t pipeId) override {
        std::lock_guard lock(mutex);
        return !failCompletionWait.contains(pipeId);
    }
    bool SetPipeTimeout(std::uint8_t pipeId, int timeoutMs) override {
        std::lock_guard lock(mutex);
        if (failPipeTimeout.contains(pipeId))
            return false;
        timeouts[pipeId] = timeoutMs;
        return true;
    }
    TransferResult Transfer(std::uint8_t pipeId, std::span<std::uint8_t> buffer, int waitMs) override {
        std::unique_lock lock(mutex);
        ++transfers[pipeId];
        waits[pipeId] = waitMs;
        if (!IsInPipe(pipeId))
            written.push_back({pipeId, {buffer.begin(), buffer.end()}});
        // With blockWhenEmpty, a read with nothing scripted waits until the test
        // scripts something or cancels.
        changed.notify_all();
        changed.wait(lock, [&] { return !blockWhenEmpty || cancelled || !script[pipeId].empty(); });
        if (cancelled)
            return {TransferOutcome::Failed, 0};
        auto& queue = script[pipeId];
        Step step{emptyOutcome, {}, {}};
        if (!queue.empty()) {
            step = std::move(queue.front());
            queue.pop_front();
        }
        if (Completed(step.outcome) && IsInPipe(pipeId))
            std::copy_n(step.bytes.begin(), std::min(step.bytes.size(), buffer.size()), buffer.begin());
        if (onTransfer) {
            lock.unlock();
            onTransfer(pipeId);
        }
        if (!Completed(step.outcome))
            return {step.outcome, 0};
        return {step.outcome, std::min(step.length.value_or(buffer.size()), buffer.size())};
    }
    void CancelTransfers() override {
        std::lock_guard lock(mutex);
        ++cancels;
        cancelled = true;
        changed.notify_all();
    }
    void Close() override {
        std::lock_guard lock(mutex);
        ++closes;
    }

    void Push(std::uint8_t pipeId, TransferOutcome outcome, std::vector<std::uint8_t> bytes = {},
              std::optional<std::size_t> length = std::nullopt) {
        std::lock_guard lock(mutex);
        script[pipeId].push_back({outcome, std::move(bytes), length});
        changed.notify_all();
    }
    int Transfers(std::uint8_t pipeId) {
        std::lock_guard lock(mutex);
        return transfers[pipeId];
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::function<void(std::uint8_t pipeId)> onTransfer; // runs as the transfer ends
    OpenResult openResult{OpenResult::Status::Opened, {}};
    std::optional<std::vector<PipeInfo>> pipes = StandardPipes();
    std::set<std::uint8_t> failCompletionWait, failPipeTimeout;
    std::map<std::uint8_t, std::deque<Step>> script;
    TransferOutcome emptyOutcome = TransferOutcome::CompletedAtOnce;
    bool blockWhenEmpty = false;
    bool cancelled = false;
    std::map<std::uint8_t, int> timeouts, waits, transfers;
    std::vector<Written> written;
    int opens = 0, cancels = 0, closes = 0;
};

// An answer message as the instrument sends it: code and payload, a zero, the end mark.
inline std::vector<std::uint8_t> AnswerBytes(std::string_view codeAndPayload) {
    std::vector<std::uint8_t> bytes(codeAndPayload.begin(), codeAndPayload.end());
    bytes.push_back(0x00);
    bytes.push_back(0xA7);
    bytes.resize(bytes.size() <= 16 ? 16 : 32, 0x00);
    return bytes;
}

} // namespace kantrel::test
