// The one place that knows the concrete transports: libusb for the instrument, the
// simulated instrument for --simulate.

#include "ui/instrument_source.h"

#include "device/connection.h"
#include "platform/libusb_transport.h"
#include "sim/scenario.h"
#include "sim/sim_clock.h"
#include "sim/simulated_instrument.h"

namespace kantrel::ui {

namespace {

// The instrument on USB.
class UsbSource : public InstrumentSource {
public:
    UsbSource() { SetUsbTransport(&transport_); }
    ~UsbSource() override { SetUsbTransport(nullptr); }
    UsbSource(const UsbSource&) = delete;
    UsbSource& operator=(const UsbSource&) = delete;

private:
    LibusbTransport transport_;
};

// The simulated instrument on the real clock: 1000 samples a second.
class SimulatedSource : public InstrumentSource {
public:
    explicit SimulatedSource(sim::Scenario scenario) : instrument_(std::move(scenario), clock_) {
        SetUsbTransport(&instrument_);
    }
    ~SimulatedSource() override { SetUsbTransport(nullptr); }
    SimulatedSource(const SimulatedSource&) = delete;
    SimulatedSource& operator=(const SimulatedSource&) = delete;

private:
    sim::RealClock clock_;
    sim::SimulatedInstrument instrument_;
};

} // namespace

SourceResult OpenUsbSource() {
    return {std::make_unique<UsbSource>(), {}, {}};
}

SourceResult OpenSimulatedSource(const std::string& scenarioFile) {
    if (scenarioFile.empty())
        return {std::make_unique<SimulatedSource>(sim::DefaultScenario()), {}, {}};
    sim::ScenarioResult loaded = sim::LoadScenarioFile(scenarioFile);
    if (!loaded.scenario)
        return {nullptr, "cannot use the scenario " + scenarioFile + ": " + loaded.error, {}};
    return {std::make_unique<SimulatedSource>(std::move(*loaded.scenario)), {}, std::move(loaded.warnings)};
}

} // namespace kantrel::ui
