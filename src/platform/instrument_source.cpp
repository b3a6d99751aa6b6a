// The one place that knows the concrete transports: libusb for the instrument, the
// simulated instrument for --simulate.

#include "platform/instrument_source.h"

#include "device/connection.h"
#include "platform/libusb_transport.h"
#include "sim/scenario.h"
#include "sim/sim_clock.h"
#include "sim/simulated_instrument.h"

namespace kantrel {

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

// The simulated instrument, on the real clock (1000 samples a second) unless the caller
// brings its own.
class SimulatedSource : public InstrumentSource {
public:
    explicit SimulatedSource(sim::Scenario scenario) : instrument_(std::move(scenario), realClock_) {
        SetUsbTransport(&instrument_);
    }
    SimulatedSource(sim::Scenario scenario, sim::SimClock& clock) : instrument_(std::move(scenario), clock) {
        SetUsbTransport(&instrument_);
    }
    ~SimulatedSource() override { SetUsbTransport(nullptr); }
    SimulatedSource(const SimulatedSource&) = delete;
    SimulatedSource& operator=(const SimulatedSource&) = delete;

    sim::SimulatedInstrument* Simulated() override { return &instrument_; }

private:
    sim::RealClock realClock_;
    sim::SimulatedInstrument instrument_;
};

// The scenario of the file (the built-in one when there is none) on the real clock or on
// the given one.
template <typename... Clock> SourceResult OpenSimulated(const std::string& scenarioFile, Clock&... clock) {
    SourceResult opened;
    sim::Scenario scenario = sim::DefaultScenario();
    if (!scenarioFile.empty()) {
        sim::ScenarioResult loaded = sim::LoadScenarioFile(scenarioFile);
        opened.warnings = std::move(loaded.warnings);
        if (!loaded.scenario) {
            opened.error = "cannot use the scenario " + scenarioFile + ": " + loaded.error;
            return opened;
        }
        scenario = std::move(*loaded.scenario);
    }
    opened.source = std::make_unique<SimulatedSource>(std::move(scenario), clock...);
    return opened;
}

} // namespace

SourceResult OpenUsbSource() {
    return {std::make_unique<UsbSource>(), {}, {}};
}

SourceResult OpenSimulatedSource(const std::string& scenarioFile) {
    return OpenSimulated(scenarioFile);
}

SourceResult OpenSimulatedSource(const std::string& scenarioFile, sim::SimClock& clock) {
    return OpenSimulated(scenarioFile, clock);
}

} // namespace kantrel
