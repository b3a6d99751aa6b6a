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
// Each transfer is a bulk transfer with the pipe time-out as its time-out: completed,
// timed out, or failed. Transfers are submitted asynchronously and waited for, so that
// the link can cancel them when it closes.

#include <cstdint>
#include <map>
#include <mutex>
#include <set>
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
    TransferOutcome Transfer(std::uint8_t pipeId, std::span<std::uint8_t> buffer, int waitMs) override;
    void CancelTransfers() override;
    void Close() override;

private:
    bool NamesInterfaceGuid(libusb_device_handle* handle, std::uint16_t bcdUsb) const;
    int TimeoutFor(std::uint8_t pipeId, int waitMs);

    std::vector<UsbId> listedIds_;
    UsbDeviceOpener opener_;
    libusb_context* context_ = nullptr;
    libusb_device_handle* handle_ = nullptr; // set and cleared while no transfer runs

    std::mutex mutex_;
    std::map<std::uint8_t, int> pipeTimeouts_;
    std::set<libusb_transfer*> inFlight_;
    bool closing_ = false;
};

} // namespace kantrel
