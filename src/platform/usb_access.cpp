#include "platform/usb_access.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fmt/format.h>
#include <libusb.h>

namespace kantrel {

namespace {

constexpr std::string_view kProgramName = "kantrel731";

std::optional<std::uint16_t> Hex16(std::string_view text) {
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

PipeType TypeOf(std::uint8_t attributes) {
    switch (attributes & LIBUSB_TRANSFER_TYPE_MASK) {
    case LIBUSB_ENDPOINT_TRANSFER_TYPE_CONTROL:
        return PipeType::Control;
    case LIBUSB_ENDPOINT_TRANSFER_TYPE_ISOCHRONOUS:
        return PipeType::Isochronous;
    case LIBUSB_ENDPOINT_TRANSFER_TYPE_BULK:
        return PipeType::Bulk;
    default:
        return PipeType::Interrupt;
    }
}

bool IsBulkIn(const PipeInfo& pipe, int index) {
    return pipe.type == PipeType::Bulk && IsInPipe(pipe.pipeId) && pipe.index == index;
}

// A word the shell takes as it stands.
bool IsPlainWord(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("/._-+,:@%").find(c) != std::string_view::npos;
    });
}

std::string ShellQuoted(std::string_view text) {
    if (IsPlainWord(text))
        return std::string(text);
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string DeviceLine(const UnopenedDevice& d) {
    return fmt::format("bus {:03}, address {:03}, ID {} ({})", d.bus, d.address, FormatUsbId(d.id),
                       d.noPermission ? "this user has no permission to use it" : d.reason);
}

} // namespace

std::vector<UsbId> ParseUsbIds(std::string_view text) {
    std::vector<UsbId> ids;
    while (!text.empty()) {
        const auto end = text.find_first_of(", \t");
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (const auto id = ParseUsbId(entry))
            ids.push_back(*id);
    }
    return ids;
}

std::optional<UsbId> ParseUsbId(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto vendor = Hex16(text.substr(0, colon));
    const auto product = Hex16(text.substr(colon + 1));
    if (!vendor || !product)
        return std::nullopt;
    return UsbId{*vendor, *product};
}

std::string FormatUsbId(UsbId id) {
    return fmt::format("{:04x}:{:04x}", id.vendor, id.product);
}

std::optional<std::vector<PipeInfo>> InterfaceZeroPipes(const libusb_config_descriptor& config) {
    for (int i = 0; i < config.bNumInterfaces; ++i) {
        const libusb_interface& interface = config.interface[i];
        if (interface.num_altsetting < 1 || interface.altsetting[0].bInterfaceNumber != 0)
            continue;
        const libusb_interface_descriptor& setting = interface.altsetting[0];
        std::vector<PipeInfo> pipes;
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& endpoint = setting.endpoint[e];
            pipes.push_back({TypeOf(endpoint.bmAttributes), endpoint.bEndpointAddress, e});
        }
        return pipes;
    }
    return std::nullopt;
}

bool HasInstrumentLayout(const std::vector<PipeInfo>& interfaceZero) {
    const auto has = [&](auto predicate) {
        return std::any_of(interfaceZero.begin(), interfaceZero.end(), predicate);
    };
    return has([](const PipeInfo& p) { return p.type == PipeType::Bulk && !IsInPipe(p.pipeId); }) &&
           has([](const PipeInfo& p) { return IsBulkIn(p, 1); }) &&
           has([](const PipeInfo& p) { return IsBulkIn(p, 2); });
}

std::string UnopenedDevicesHint(std::span<const UnopenedDevice> devices, std::string_view program) {
    if (devices.empty())
        return {};
    const bool several = devices.size() > 1;
    std::string text = several
                           ? "USB devices that look like the Tensolog were found but could not be opened:\n"
                           : "A USB device that looks like the Tensolog was found but could not be opened:\n";
    for (const UnopenedDevice& d : devices)
        text += DeviceLine(d) + "\n";

    std::vector<UsbId> withoutPermission;
    bool otherReason = false;
    for (const UnopenedDevice& d : devices) {
        if (!d.noPermission)
            otherReason = true;
        else if (std::find(withoutPermission.begin(), withoutPermission.end(), d.id) ==
                 withoutPermission.end())
            withoutPermission.push_back(d.id);
    }
    if (!withoutPermission.empty()) {
        text += "\nTo let the user at this computer use it, run once as administrator:\n";
        for (UsbId id : withoutPermission)
            text += fmt::format("sudo {} --udev-rule {} --install\n", program, FormatUsbId(id));
        text += "Then start the program again.\n";
    }
    if (otherReason)
        text += "\nIf another program is using the instrument, close it; otherwise unplug the instrument, "
                "plug it in again and start the program again.\n";
    return text;
}

std::string UdevRuleProgram() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(kProgramName) : UdevRuleProgram(exe.string());
}

std::string UdevRuleProgram(std::string_view executablePath) {
    // The folders of sudo's secure_path on Debian.
    static constexpr std::array<std::string_view, 6> kRootPath = {
        "/usr/local/sbin", "/usr/local/bin", "/usr/sbin", "/usr/bin", "/sbin", "/bin"};
    const std::string folder = std::filesystem::path(executablePath).parent_path().string();
    if (std::find(kRootPath.begin(), kRootPath.end(), folder) != kRootPath.end())
        return std::string(kProgramName);
    return ShellQuoted(folder + "/" + std::string(kProgramName));
}

std::string UdevRuleText(UsbId id) {
    const std::string usbId = FormatUsbId(id);
    return fmt::format("# Lets the user at this computer use the Tensolog with the USB ID {0}.\n"
                       "# It belongs in {1}/{2};\n"
                       "# \"kantrel731 --udev-rule {0} --install\" puts it there.\n"
                       "SUBSYSTEM==\"usb\", ENV{{DEVTYPE}}==\"usb_device\", "
                       "ATTR{{idVendor}}==\"{3:04x}\", ATTR{{idProduct}}==\"{4:04x}\", TAG+=\"uaccess\"\n",
                       usbId, kUdevRulesFolder, UdevRuleFileName(id), id.vendor, id.product);
}

std::string UdevRuleFileName(UsbId id) {
    // "uaccess" tags are acted on by 73-seat-late.rules.
    return fmt::format("70-kantrel731-{:04x}-{:04x}.rules", id.vendor, id.product);
}

} // namespace kantrel
