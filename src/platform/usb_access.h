#pragma once

// Access to the instrument on a Linux desktop. A USB device node belongs to root until a
// udev rule hands it to the user at the seat (TAG+="uaccess"). The instrument is known by
// the interface GUID in its Microsoft OS descriptors, and those can only be read from an
// opened device; so a device that cannot be opened is recognised by its interface layout
// instead, which the configuration descriptor shows without opening it:
//
//   interface 0, alternate setting 0
//     a bulk OUT endpoint (any index)   commands
//     bulk IN at endpoint index 1       answers
//     bulk IN at endpoint index 2       measurement frames
//
// Such a device is named to the operator with the command that writes the rule for it.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/usb_transport.h"

struct libusb_config_descriptor;

namespace kantrel {

struct UsbId {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    bool operator==(const UsbId&) const = default;
};

// "vvvv:pppp" pairs in hexadecimal, separated by commas or blanks; entries that do not
// read as such are left out.
std::vector<UsbId> ParseUsbIds(std::string_view text);
// Exactly one "vvvv:pppp" pair; nullopt for anything else.
std::optional<UsbId> ParseUsbId(std::string_view text);
std::string FormatUsbId(UsbId id); // "1234:00ab"

// The endpoints of interface 0, alternate setting 0, in index order; nullopt when the
// configuration has no interface 0.
std::optional<std::vector<PipeInfo>> InterfaceZeroPipes(const libusb_config_descriptor& config);
bool HasInstrumentLayout(const std::vector<PipeInfo>& interfaceZero);

// A device that looked like the instrument but could not be opened or claimed.
struct UnopenedDevice {
    int bus = 0;
    int address = 0;
    UsbId id;
    bool noPermission = false; // else `reason` says why
    std::string reason;
};

// What to tell the operator about such devices, and how to fix it. `program` is the
// command that starts this program as root would type it (see UdevRuleProgram).
std::string UnopenedDevicesHint(std::span<const UnopenedDevice> devices, std::string_view program);

// The program as the fix names it: its bare name when it lives in a folder on root's
// search path, else its full path, so that the command works as shown.
std::string UdevRuleProgram();
std::string UdevRuleProgram(std::string_view executablePath);

inline constexpr std::string_view kUdevRulesFolder = "/etc/udev/rules.d";

// The udev rule that gives the user at the seat the device with this id.
std::string UdevRuleText(UsbId id);
std::string UdevRuleFileName(UsbId id); // sorts before the rules that apply "uaccess"

} // namespace kantrel
