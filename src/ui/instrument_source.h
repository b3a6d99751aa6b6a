#pragma once

// Where the instrument comes from: the USB device (libusb) or the simulated instrument
// on the real clock. The source installs itself as the link's transport and stays alive
// while the program runs.

#include <memory>
#include <string>
#include <vector>

namespace kantrel::ui {

class InstrumentSource {
public:
    virtual ~InstrumentSource() = default;
};

struct SourceResult {
    std::unique_ptr<InstrumentSource> source;
    std::string error;                 // a scenario file that cannot be read
    std::vector<std::string> warnings; // parts of a scenario file that were not understood
};

SourceResult OpenUsbSource();
// scenarioFile empty: the built-in scenario.
SourceResult OpenSimulatedSource(const std::string& scenarioFile);

} // namespace kantrel::ui
