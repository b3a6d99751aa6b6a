#pragma once

// Writing the udev rule that lets the user at the seat open the instrument
// (kantrel731 --udev-rule VID:PID --install, as root): the rule goes into the udev rules
// folder, udev reloads its rules and applies them again to the device that is plugged
// in, so that neither a new plug-in nor a restart is needed.

#include <functional>
#include <string>
#include <vector>

#include "platform/usb_access.h"

namespace kantrel {

// What the installation touches in the system; tests replace each part.
struct UdevSystem {
    std::string rulesFolder{kUdevRulesFolder};
    std::function<bool()> isRoot;
    // Runs a program with its arguments (argument 0 is the program) and waits for it:
    // its exit status, or -1 when it could not be started or did not end normally.
    std::function<int(const std::vector<std::string>&)> run;
};
UdevSystem RealUdevSystem();

struct UdevInstallResult {
    bool done = false;
    std::string report; // what was done, or what went wrong and what to do
};

UdevInstallResult InstallUdevRule(UsbId id, const UdevSystem& system);

} // namespace kantrel
