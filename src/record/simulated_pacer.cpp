#include "record/simulated_pacer.h"

#include <chrono>
#include <limits>

#include "measure/meas_data.h"
#include "sim/simulated_instrument.h"

namespace kantrel::record {

namespace {

// Without a timer the time still moves on, in steps of one display tick.
constexpr std::int64_t kIdleStepMs = 100;
// Only a limit: the workers take their packets within microseconds.
constexpr auto kPatience = std::chrono::seconds(10);

bool RingHasNoRoomForAFrame() {
    if (measData == nullptr)
        return false;
    const std::int32_t write = measData->ringWriteIndex.load(std::memory_order_acquire);
    const std::int32_t read = measData->ringReadIndex.load(std::memory_order_acquire);
    for (int k = 1; k <= kSamplesPerFrame; ++k)
        if ((write + k) % kSampleRingSize == read)
            return true;
    return false;
}

} // namespace

void SimulatedPacer::SetInstrument(sim::SimulatedInstrument* instrument) {
    instrument_ = instrument;
    if (instrument_ != nullptr)
        instrument_->SetConsumerFullProbe(RingHasNoRoomForAFrame);
}

void SimulatedPacer::WaitUntil(std::int64_t deadlineMs, const std::function<bool()>& woken) {
    if (woken())
        return;
    const std::int64_t now = clock_.NowMs();
    if (deadlineMs == std::numeric_limits<std::int64_t>::max())
        deadlineMs = now + kIdleStepMs;
    if (deadlineMs > now)
        clock_.Advance(deadlineMs - now);
    WaitForWorkers(woken);
}

void SimulatedPacer::WaitForWorkers(const std::function<bool()>& woken) {
    if (instrument_ == nullptr)
        return;
    const auto giveUpAt = std::chrono::steady_clock::now() + kPatience;
    // A worker may be waiting for the main thread (a message after a time-out): then the
    // posted work wakes the loop instead.
    while (!woken() && !(workersGone_ && workersGone_())) {
        if (instrument_->WaitUntilDelivered(std::chrono::milliseconds(1)))
            return;
        if (std::chrono::steady_clock::now() >= giveUpAt)
            return;
    }
}

} // namespace kantrel::record
