#pragma once

// Where the instrument comes from: the USB device (libusb) or the simulated instrument.
// The source installs itself as the link's transport and stays alive while the program
// runs. Both programs, the window and the headless recorder, choose it here.

#include <memory>
#include <string>
#include <vector>

namespace kantrel {

namespace sim {
class SimClock;
class SimulatedInstrument;
} // namespace sim

class InstrumentSource {
public:
    virtual ~InstrumentSource() = default;
    // The simulated instrument behind the link; null for the real one.
    virtual sim::SimulatedInstrument* Simulated() { return nullptr; }
};

struct SourceResult {
    std::unique_ptr<InstrumentSource> source;
    std::string error;                 // a scenario file that cannot be read
    std::vector<std::string> warnings; // parts of a scenario file that were not understood
};

SourceResult OpenUsbSource();
// The simulated instrument on the real clock. scenarioFile empty: the built-in scenario.
SourceResult OpenSimulatedSource(const std::string& scenarioFile);
// The same on a clock of the caller's, which must outlive the source.
SourceResult OpenSimulatedSource(const std::string& scenarioFile, sim::SimClock& clock);

} // namespace kantrel
