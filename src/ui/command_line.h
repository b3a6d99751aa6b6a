#pragma once

// The program's command line: --help, --version, --simulate[=FILE], and
// --udev-rule VID:PID [--install] for granting access to the instrument.

#include <optional>
#include <string>
#include <vector>

#include "platform/usb_access.h"

namespace kantrel::ui {

struct CommandLine {
    bool help = false;
    bool version = false;
    bool simulate = false;
    std::string scenarioFile; // empty: the built-in scenario
    std::optional<UsbId> udevRule;
    bool installUdevRule = false;
    std::string error;        // an argument the program does not know
};

// Qt's own arguments (-platform, -display, ...) are left to Qt.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

std::string UsageText(const std::string& programName);
std::string VersionText();

} // namespace kantrel::ui
