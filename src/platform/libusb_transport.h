#pragma once

// The instrument through libusb-1.0. A device is the instrument when its Microsoft OS
// descriptors (MS OS 2.0 set, else MS OS 1.0 extended properties) name the Tensolog's
// interface GUID for interface 0, or when its vendor:product pair is listed in the
// environment variable KANTREL731_USB_IDS ("1234:5678,abcd:0001"). The first such device
// in the system's list is used, with its interface 0.
//
// A device that cannot be opened cannot show its descriptors. It is passed over, but when
// its interface layout is the instrument's it is named in the hint of a search that found
// nothing (see usb_access.h). A listed device that cannot be opened, or a matching one
// whose interface 0 cannot be claimed, is "in use", with the same hint.
//
// Reads behave as WinUSB pipes do: an IN transfer asks for whole packets of the
// endpoint's maximum packet size, and the bytes beyond what the read wanted are kept for
// the next read of the same pipe, which takes them without a transfer. So an instrument
// that sends a whole 32-byte answer, or two frames, in one packet is read as it meant.
//
// Each transfer is a bulk transfer with the pipe time-out as its time-out, submitted
// asynchronously and waited for, so that the link can cancel it when it closes. A
// transfer that cannot be submitted has failed; one that was submitted and ends in any
// other way than completed (time-out, stall, the device gone, a bus error, an overflow,
// cancelled by anything but the link's own close) is "not completed". Such an early end
// is reported when the transfer's time-out has passed, as if it had been waited for: a
// reader that retries at once, like the command thread, would otherwise spin on a pipe
// that fails over and over. A stalled endpoint has its halt cleared.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "device/usb_transport.h"
#include "platform/usb_access.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_transfer;

namespace kantrel {

inline constexpr const char* kUsbIdsVariable = "KANTREL731_USB_IDS";

// How a device is opened; a test stands in for libusb_open to refuse it.
using UsbDeviceOpener = int (*)(libusb_device* device, libusb_device_handle** handle);

class LibusbTransport : public UsbTransport {
public:
    LibusbTransport(); // the ids of KANTREL731_USB_IDS
    explicit LibusbTransport(std::vector<UsbId> listedIds, UsbDeviceOpener opener = nullptr);
    ~LibusbTransport() override;
    LibusbTransport(const LibusbTransport&) = delete;
    LibusbTransport& operator=(const LibusbTransport&) = delete;

    OpenResult Open() override;
    std::optional<std::vector<PipeInfo>> QueryPipes() override;
    bool CreateCompletionWait(std::uint8_t) override { return true; }
    bool SetPipeTimeout(std::uint8_t pipeId, int timeoutMs) override;
    TransferResult Transfer(std::uint8_t pipeId, std::span<std::uint8_t> buffer, int waitMs) override;
    void CancelTransfers() override;
    void Close() override;

private:
    bool NamesInterfaceGuid(libusb_device_handle* handle, std::uint16_t bcdUsb) const;
    int TimeoutFor(std::uint8_t pipeId, int waitMs);
    void AwaitCompletion(libusb_transfer* transfer, int& completed);
    // length rounded up to whole packets of the pipe
    std::size_t WholePackets(std::uint8_t pipeId, std::size_t length);
    // A read served from what the pipe's last packet left over; nullopt when nothing was.
    std::optional<std::size_t> TakeSurplus(std::uint8_t pipeId, std::span<std::uint8_t> buffer);
    // Copies what fits into buffer and keeps the rest for the pipe's next read.
    std::size_t KeepSurplus(std::uint8_t pipeId, std::span<const std::uint8_t> received,
                            std::span<std::uint8_t> buffer);
    // Waits until the deadline or the link's close; false when the link is closing.
    bool HoldUntil(std::chrono::steady_clock::time_point deadline);

    std::vector<UsbId> listedIds_;
    UsbDeviceOpener opener_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr; // set and cleared while no transfer runs

    std::mutex mutex_;
    std::map<std::uint8_t, int> pipeTimeouts_;
    std::map<std::uint8_t, std::size_t> maxPacketSizes_;
    std::map<std::uint8_t, std::vector<std::uint8_t>> surplus_; // per IN pipe
    std::set<libusb_transfer*> inFlight_;
    bool closing_ = false;
    std::condition_variable closingChanged_;
};

} // namespace kantrel
