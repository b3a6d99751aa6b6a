// Throughput of the device link: the simulated instrument streams measurement frames as
// fast as they can be taken, through the real connection, command and measuring threads
// and the sample ring, and the main thread drains the ring with the processing cycle.
// The instrument's clock is moved by hand, 980 ms (98 frames; the ring holds 99)
// per round, so the figure is the link's own speed, not the instrument's 100 frames/s.
// Prints, as its last line:
//   frames_per_s <N>

#include <chrono>
#include <cstdio>

#include "device/connection.h"
#include "device/device_parameters.h"
#include "device/unit_usb.h"
#include "measure/meas_data.h"
#include "sim/simulated_instrument.h"

namespace {

using namespace kantrel;
using WallClock = std::chrono::steady_clock;

constexpr int kRoundMs = 980;
constexpr int kRounds = 3000;

void UseTypicalParameters() {
    DeviceParameters p;
    p.fullScale = 1000;
    p.nominalValue = 1000;
    p.calPointCount = 3;
    p.calInput = {0, 500, 1000, 0, 0};
    p.calOutput = {0, 510, 1000, 0, 0};
    p.unitText = "N";
    deviceParameters = p;
}

} // namespace

int main() {
    sim::Scenario scenario;
    scenario.shape = sim::SignalShape::Ramp;
    scenario.level = 0;
    scenario.amplitude = 900;
    scenario.periodMs = 7000;
    sim::ManualClock clock;
    sim::SimulatedInstrument instrument(scenario, clock);
    SetUsbTransport(&instrument);
    SetProcessEndHook([] { std::fprintf(stderr, "data error\n"); });
    sampleRateIndex = 6; // the usual 100 ms mean

    const ConnectResult connected = ConnectInstrument();
    if (!connected.opened || !connected.measuringThreadStarted) {
        std::fprintf(stderr, "the simulated instrument could not be connected\n");
        return 1;
    }
    // The readout is not part of the figure: the parameters are in place already.
    UseTypicalParameters();
    readoutMask = kReadoutComplete;

    const auto start = WallClock::now();
    for (int round = 0; round < kRounds; ++round) {
        clock.Advance(kRoundMs);
        if (!instrument.WaitUntilDelivered(std::chrono::seconds(10))) {
            std::fprintf(stderr, "the link stopped taking frames in round %d\n", round);
            return 1;
        }
        measData->ProcessSamples();
    }
    const double seconds = std::chrono::duration<double>(WallClock::now() - start).count();
    const long long frames = instrument.FramesSent();
    const long long processed = measData->elapsedMs;

    DisconnectInstrument();
    DestroyMeasData();
    SetUsbTransport(nullptr);

    std::printf("frames %lld, samples processed %lld, %.3f s\n", frames, processed, seconds);
    if (processed != frames * kSamplesPerFrame) {
        std::fprintf(stderr, "samples were lost\n");
        return 1;
    }
    std::printf("frames_per_s %.0f\n", static_cast<double>(frames) / seconds);
    return 0;
}
