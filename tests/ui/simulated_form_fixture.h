#pragma once

// The window on the simulated instrument, through the real device link and its threads,
// on a manual clock: the test moves the instrument's clock and ticks the window's timers
// that are due, without sleeping.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "form_fixture.h"
#include "sim/scenario.h"
#include "sim/sim_clock.h"
#include "sim/simulated_instrument.h"

namespace kantrel::test {

// A steady 250 N and no instrument-key presses.
sim::Scenario SteadyScenario();

class SimulatedFormTest : public FormTest {
protected:
    ~SimulatedFormTest() override;

    // Starts the window on an instrument that plays the scenario.
    void Open(sim::Scenario scenario = SteadyScenario());
    // Moves the instrument's clock in 10 ms steps; each step the timers that are due
    // tick, after the link's threads have taken what the instrument delivered.
    void Run(int milliseconds);
    void RunUntilReady();

    // The live mean as the window shows it (-1 when it shows no number).
    double ShownMean() const;
    bool Sent(const std::string& command) const;

    sim::ManualClock clock;
    std::unique_ptr<sim::SimulatedInstrument> instrument;
    std::int64_t elapsedMs = 0;
};

} // namespace kantrel::test
