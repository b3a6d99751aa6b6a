#pragma once

// A synthetic instrument for the libusb transport: umockdev provides the device in sysfs
// and /dev, and an in-process ioctl handler plays the device's side of usbfs (claiming,
// control requests for the Microsoft OS descriptors, bulk URBs).
//
// Its bulk endpoints have a maximum packet size of 64 bytes, and it behaves as a USB
// device does on the bus:
//   - each Deliver() is one packet on an IN endpoint; a URB takes one packet, and a
//     packet longer than the URB's buffer ends the URB with an overflow (babble);
//   - a halted endpoint (Stall) ends every URB on it with a stall until the host
//     clears the halt;
//   - after Remove() the URBs in flight end with "no device" and new ones are refused;
//   - while writes are held (HoldWrites) OUT URBs wait, as when the device NAKs.

#include <umockdev.h>

#include <linux/usbdevice_fs.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "device/scripted_transport.h" // the instrument's pipes kS1, kR1, kR2
#include "platform/ms_os_descriptors.h"

namespace kantrel::test {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint16_t kVendor = 0x1234, kProduct = 0x5678;
inline constexpr std::size_t kMaxPacket = 64;

// What the synthetic device says about itself.
struct DeviceLayout {
    bool msOs20 = true;  // BOS with the MS OS 2.0 platform capability
    bool msOs10 = false; // string 0xEE and extended properties
    std::string guid = std::string(kTensologInterfaceGuid);
    bool claimBusy = false; // interface 0 is claimed by someone else
    bool instrumentEndpoints = true; // else the third endpoint is an interrupt IN
};

class SyntheticInstrument {
public:
    explicit SyntheticInstrument(DeviceLayout layout);
    ~SyntheticInstrument();
    SyntheticInstrument(const SyntheticInstrument&) = delete;
    SyntheticInstrument& operator=(const SyntheticInstrument&) = delete;

    // One packet for the next IN URB on the endpoint, or a failure status (-errno).
    void Deliver(std::uint8_t endpoint, Bytes packet, int status = 0);
    void Stall(std::uint8_t endpoint);
    void Remove();
    void HoldWrites(bool hold);

    std::vector<Bytes> Written();
    // Waits (at most 10 s) until a URB on the endpoint is waiting for the device.
    bool WaitForPendingTransfer(std::uint8_t endpoint);
    int Submits(std::uint8_t endpoint);
    int ClearHalts(std::uint8_t endpoint);
    int Discards();

private:
    struct Urb {
        UMockdevIoctlData* data;   // the usbdevfs_urb
        UMockdevIoctlData* buffer; // its transfer buffer
        usbdevfs_urb* urb;
    };
    struct Reply {
        Bytes data;
        int status;
    };

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    void Handle(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void AnswerControl(Urb& u);
    void ServePending();
    void Finish(Urb u, int status, std::size_t length);
    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void ClearHalt(UMockdevIoctlClient* client, UMockdevIoctlData* arg);

    DeviceLayout layout_;
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Urb> pending_, completed_;
    std::map<std::uint8_t, std::deque<Reply>> script_;
    std::map<std::uint8_t, bool> halted_;
    std::map<std::uint8_t, int> submits_, clearHalts_;
    std::vector<Bytes> written_;
    bool removed_ = false;
    bool holdWrites_ = false;
    int discards_ = 0;
};

} // namespace kantrel::test
