#include "synthetic_instrument.h"

#include <gtest/gtest.h>

#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <fmt/format.h>
#include <optional>

namespace kantrel::test {

namespace {

using namespace std::chrono_literals;

constexpr std::uint8_t kVendorCode = 0x21;
constexpr char kDevicePath[] = "/dev/bus/usb/001/002";

void Put16(Bytes& b, std::size_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
Bytes Utf16(const std::string& text) {
    Bytes b;
    for (char c : text)
        Put16(b, static_cast<unsigned char>(c));
    Put16(b, 0);
    return b;
}

Bytes DeviceAndConfigDescriptors(bool usb201, bool instrumentEndpoints) {
    const std::uint8_t thirdType = instrumentEndpoints ? 2 : 3;
    Bytes d = {18, 1, usb201 ? std::uint8_t{0x01} : std::uint8_t{0x00}, 0x02, 0xFF, 0, 0, 64};
    Put16(d, kVendor);
    Put16(d, kProduct);
    constexpr auto mps = static_cast<std::uint8_t>(kMaxPacket);
    Bytes rest = {0x00, 0x01, 0, 0, 0, 1,
                  // configuration: one interface with three bulk endpoints
                  9, 2, 39, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 3, 0xFF, 0, 0, 0, 7, 5, kS1, 2, mps, 0, 0, 7, 5,
                  kR1, 2, mps, 0, 0, 7, 5, kR2, thirdType, mps, 0, 0};
    d.insert(d.end(), rest.begin(), rest.end());
    return d;
}

Bytes RegistryPropertyGuids(const std::string& guid) {
    const Bytes name = Utf16("DeviceInterfaceGUIDs");
    Bytes data = Utf16(guid);
    Put16(data, 0);
    Bytes p;
    Put16(p, 10 + name.size() + data.size());
    Put16(p, 0x04);
    Put16(p, 7);
    Put16(p, name.size());
    p.insert(p.end(), name.begin(), name.end());
    Put16(p, data.size());
    p.insert(p.end(), data.begin(), data.end());
    return p;
}

Bytes MsOs20Set(const std::string& guid) {
    const Bytes property = RegistryPropertyGuids(guid);
    Bytes set;
    Put16(set, 10);
    Put16(set, 0);
    Put16(set, 0x0000);
    Put16(set, 0x0603);
    Put16(set, 10 + property.size());
    set.insert(set.end(), property.begin(), property.end());
    return set;
}

Bytes Bos(std::size_t setLength) {
    Bytes bos = {5,    0x0F, 5 + 28, 0,    1,    28,   0x10, 0x05, 0,    0xDF, 0x60, 0xDD, 0xD8, 0x89, 0x45,
                 0xC7, 0x4C, 0x9C,   0xD2, 0x65, 0x9D, 0x9E, 0x64, 0x8A, 0x9F, 0x00, 0x00, 0x03, 0x06};
    Put16(bos, setLength);
    bos.push_back(kVendorCode);
    bos.push_back(0);
    return bos;
}

Bytes MsOs10String() {
    Bytes s = {0x12, 0x03};
    const Bytes sig = Utf16("MSFT100");
    s.insert(s.end(), sig.begin(), sig.end() - 2);
    s.push_back(kVendorCode);
    s.push_back(0);
    return s;
}

Bytes MsOs10Properties(const std::string& guid) {
    const Bytes name = Utf16("DeviceInterfaceGUIDs");
    Bytes data = Utf16(guid);
    Put16(data, 0);
    Bytes section;
    const std::size_t size = 14 + name.size() + data.size();
    Put16(section, size), Put16(section, 0);
    Put16(section, 7), Put16(section, 0);
    Put16(section, name.size());
    section.insert(section.end(), name.begin(), name.end());
    Put16(section, data.size()), Put16(section, 0);
    section.insert(section.end(), data.begin(), data.end());
    Bytes p;
    Put16(p, 10 + section.size()), Put16(p, 0);
    Put16(p, 0x0100);
    Put16(p, 0x0005);
    Put16(p, 1);
    p.insert(p.end(), section.begin(), section.end());
    return p;
}

std::string Hex(const Bytes& bytes) {
    std::string s;
    for (std::uint8_t b : bytes)
        s += fmt::format("{:02X}", b);
    return s;
}

void Fail(const char* what, GError* error) {
    ADD_FAILURE() << what << ": " << (error != nullptr ? error->message : "?");
    if (error != nullptr)
        g_error_free(error);
}

} // namespace

SyntheticInstrument::SyntheticInstrument(DeviceLayout layout) : layout_(std::move(layout)) {
    testbed_ = umockdev_testbed_new();
    const std::string record =
        fmt::format("P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
                    "N: bus/usb/001/002\n"
                    "E: SUBSYSTEM=usb\n"
                    "E: DEVTYPE=usb_device\n"
                    "E: DEVNAME={}\n"
                    "E: BUSNUM=001\n"
                    "E: DEVNUM=002\n"
                    "A: busnum=1\n"
                    "A: devnum=2\n"
                    "A: idVendor={:04x}\n"
                    "A: idProduct={:04x}\n"
                    "A: bConfigurationValue=1\n"
                    "A: bNumConfigurations=1\n"
                    "A: speed=480\n"
                    "H: descriptors={}\n",
                    kDevicePath, kVendor, kProduct, Hex(DeviceAndConfigDescriptors(layout_.msOs20, layout_.instrumentEndpoints)));
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error))
        Fail("add device", error);
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&SyntheticInstrument::OnIoctl), this);
    if (!umockdev_testbed_attach_ioctl(testbed_, kDevicePath, handler_, &error))
        Fail("attach", error);
}

SyntheticInstrument::~SyntheticInstrument() {
    umockdev_testbed_detach_ioctl(testbed_, kDevicePath, nullptr);
    {
        std::lock_guard lock(mutex_);
        for (const auto* urbs : {&pending_, &completed_}) {
            for (const Urb& u : *urbs) {
                g_object_unref(u.buffer);
                g_object_unref(u.data);
            }
        }
    }
    g_object_unref(handler_);
    g_object_unref(testbed_);
}

void SyntheticInstrument::Deliver(std::uint8_t endpoint, Bytes packet, int status) {
    std::lock_guard lock(mutex_);
    script_[endpoint].push_back({std::move(packet), status});
    ServePending();
}

void SyntheticInstrument::Stall(std::uint8_t endpoint) {
    std::lock_guard lock(mutex_);
    halted_[endpoint] = true;
    ServePending();
}

void SyntheticInstrument::Remove() {
    std::lock_guard lock(mutex_);
    removed_ = true;
    ServePending();
}

void SyntheticInstrument::HoldWrites(bool hold) {
    std::lock_guard lock(mutex_);
    holdWrites_ = hold;
    ServePending();
}

std::vector<Bytes> SyntheticInstrument::Written() {
    std::lock_guard lock(mutex_);
    return written_;
}

bool SyntheticInstrument::WaitForPendingTransfer(std::uint8_t endpoint) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] {
        return std::any_of(pending_.begin(), pending_.end(),
                           [&](const Urb& u) { return u.urb->endpoint == endpoint; });
    });
}

int SyntheticInstrument::Submits(std::uint8_t endpoint) {
    std::lock_guard lock(mutex_);
    return submits_[endpoint];
}

int SyntheticInstrument::ClearHalts(std::uint8_t endpoint) {
    std::lock_guard lock(mutex_);
    return clearHalts_[endpoint];
}

int SyntheticInstrument::Discards() {
    std::lock_guard lock(mutex_);
    return discards_;
}

gboolean SyntheticInstrument::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<SyntheticInstrument*>(self)->Handle(client);
    return TRUE;
}

void SyntheticInstrument::Handle(UMockdevIoctlClient* client) {
    const gulong request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard lock(mutex_);
    switch (request) {
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_DISCONNECT_CLAIM:
        if (layout_.claimBusy)
            return umockdev_ioctl_client_complete(client, -1, EBUSY);
        return umockdev_ioctl_client_complete(client, 0, 0);
    case USBDEVFS_RELEASEINTERFACE:
        return umockdev_ioctl_client_complete(client, 0, 0);
    case USBDEVFS_GETDRIVER:
    case USBDEVFS_IOCTL: // disconnecting a kernel driver: there is none
        return umockdev_ioctl_client_complete(client, -1, ENODATA);
    case USBDEVFS_SUBMITURB:
        return Submit(client, arg);
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY:
        return Reap(client, arg);
    case USBDEVFS_DISCARDURB:
        return Discard(client, arg);
    case USBDEVFS_CLEAR_HALT:
        return ClearHalt(client, arg);
    default:
        return umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
}

void SyntheticInstrument::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (removed_)
        return umockdev_ioctl_client_complete(client, -1, ENODEV);
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    auto* urb = reinterpret_cast<usbdevfs_urb*>(data->data);
    UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(data, offsetof(usbdevfs_urb, buffer),
                                                            static_cast<gsize>(urb->buffer_length), nullptr);
    Urb u{data, buffer, urb};
    if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        AnswerControl(u);
        completed_.push_back(u);
    } else {
        ++submits_[urb->endpoint];
        pending_.push_back(u);
        ServePending();
    }
    changed_.notify_all();
    umockdev_ioctl_client_complete(client, 0, 0);
}

void SyntheticInstrument::AnswerControl(Urb& u) {
    const std::uint8_t* setup = u.buffer->data;
    const std::uint8_t requestType = setup[0], request = setup[1];
    const std::uint16_t value = static_cast<std::uint16_t>(setup[2] | setup[3] << 8);
    const std::uint16_t index = static_cast<std::uint16_t>(setup[4] | setup[5] << 8);
    std::optional<Bytes> reply;
    if (requestType == 0x80 && request == 6 && (value >> 8) == 0x0F && layout_.msOs20) {
        reply = Bos(MsOs20Set(layout_.guid).size());
    } else if (requestType == 0x80 && request == 6 && value == 0x03EE && layout_.msOs10) {
        reply = MsOs10String();
    } else if (requestType == 0xC0 && request == kVendorCode && index == 7 && layout_.msOs20) {
        reply = MsOs20Set(layout_.guid);
    } else if (requestType == 0xC1 && request == kVendorCode && index == 5 && layout_.msOs10) {
        reply = MsOs10Properties(layout_.guid);
    }
    if (!reply) {
        u.urb->status = -EPIPE; // the device stalls what it does not know
        u.urb->actual_length = 0;
        return;
    }
    const std::size_t room = static_cast<std::size_t>(u.urb->buffer_length) - 8;
    const std::size_t n = std::min(room, reply->size());
    std::copy_n(reply->begin(), n, u.buffer->data + 8);
    u.urb->status = 0;
    u.urb->actual_length = static_cast<int>(n);
}

void SyntheticInstrument::Finish(Urb u, int status, std::size_t length) {
    u.urb->status = status;
    u.urb->actual_length = static_cast<int>(length);
    completed_.push_back(u);
}

// Ends what the device's state decides: every URB after a removal, the URBs of a halted
// endpoint, writes unless they are held, reads with a packet waiting for them.
void SyntheticInstrument::ServePending() {
    for (auto it = pending_.begin(); it != pending_.end();) {
        const std::uint8_t endpoint = it->urb->endpoint;
        const auto room = static_cast<std::size_t>(it->urb->buffer_length);
        auto& replies = script_[endpoint];
        if (removed_) {
            Finish(*it, -ESHUTDOWN, 0);
        } else if (halted_[endpoint]) {
            Finish(*it, -EPIPE, 0);
        } else if (!(endpoint & 0x80)) {
            if (holdWrites_) {
                ++it;
                continue;
            }
            written_.emplace_back(it->buffer->data, it->buffer->data + room);
            Finish(*it, 0, room);
        } else if (!replies.empty()) {
            const Reply reply = std::move(replies.front());
            replies.pop_front();
            const std::size_t n = std::min(reply.data.size(), room);
            std::copy_n(reply.data.begin(), n, it->buffer->data);
            if (reply.status != 0)
                Finish(*it, reply.status, 0);
            else if (reply.data.size() > room)
                Finish(*it, -EOVERFLOW, n); // the packet did not fit: babble
            else
                Finish(*it, 0, n);
        } else {
            ++it;
            continue;
        }
        it = pending_.erase(it);
    }
    changed_.notify_all();
}

void SyntheticInstrument::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (completed_.empty())
        return umockdev_ioctl_client_complete(client, -1, removed_ ? ENODEV : EAGAIN);
    Urb u = completed_.front();
    completed_.pop_front();
    // The argument points to the caller's pointer variable, which receives the URB.
    UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
    umockdev_ioctl_data_set_ptr(slot, 0, u.data);
    umockdev_ioctl_client_complete(client, 0, 0);
    g_object_unref(slot);
    g_object_unref(u.buffer);
    g_object_unref(u.data);
}

void SyntheticInstrument::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    const auto address = *reinterpret_cast<const gulong*>(arg->data);
    const auto it = std::find_if(pending_.begin(), pending_.end(),
                                 [&](const Urb& u) { return u.data->client_addr == address; });
    if (it == pending_.end())
        return umockdev_ioctl_client_complete(client, -1, EINVAL);
    Finish(*it, -ENOENT, 0);
    pending_.erase(it);
    ++discards_;
    umockdev_ioctl_client_complete(client, 0, 0);
}

void SyntheticInstrument::ClearHalt(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    if (removed_)
        return umockdev_ioctl_client_complete(client, -1, ENODEV);
    UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(unsigned int), nullptr);
    const auto endpoint = static_cast<std::uint8_t>(*reinterpret_cast<const unsigned int*>(data->data));
    g_object_unref(data);
    halted_[endpoint] = false;
    ++clearHalts_[endpoint];
    changed_.notify_all();
    umockdev_ioctl_client_complete(client, 0, 0);
}

} // namespace kantrel::test
