#pragma once

// The time of a run on the simulated instrument when nothing needs to wait for the wall
// clock: whenever the program has nothing left to do before its next timer, the
// instrument's clock jumps to that timer, and the loop goes on once the worker threads
// have taken everything that became due (or have ended). A ten-second run takes as long
// as its work, and every run on the same scenario records the same values.

#include <functional>

#include "record/event_loop.h"
#include "sim/sim_clock.h"

namespace kantrel::sim {
class SimulatedInstrument;
}

namespace kantrel::record {

class SimulatedPacer : public LoopPacer {
public:
    sim::ManualClock& Clock() { return clock_; }
    // The instrument on Clock(). The pacer tells it when the ring of the current store
    // has no room, so that a measuring thread that waits for room counts as done.
    void SetInstrument(sim::SimulatedInstrument* instrument);
    // True once a worker thread has ended: nothing more is awaited from the workers.
    void SetWorkersGone(std::function<bool()> gone) { workersGone_ = std::move(gone); }

    std::int64_t NowMs() const override { return clock_.NowMs(); }
    void WaitUntil(std::int64_t deadlineMs, const std::function<bool()>& woken) override;

private:
    void WaitForWorkers(const std::function<bool()>& woken);

    sim::ManualClock clock_;
    sim::SimulatedInstrument* instrument_ = nullptr;
    std::function<bool()> workersGone_;
};

} // namespace kantrel::record
