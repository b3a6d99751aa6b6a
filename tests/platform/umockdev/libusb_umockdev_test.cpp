// The libusb transport against a synthetic instrument: umockdev provides the device in
// sysfs and /dev, and an in-process ioctl handler plays the device's side of usbfs
// (claiming, control requests for the Microsoft OS descriptors, bulk URBs).

#include <gtest/gtest.h>

#include <libusb.h>
#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <fmt/format.h>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/libusb_transport.h"
#include "platform/ms_os_descriptors.h"

namespace kantrel {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

constexpr std::uint16_t kVendor = 0x1234, kProduct = 0x5678;
constexpr std::uint8_t kVendorCode = 0x21;
constexpr std::uint8_t kS1 = 0x01, kR1 = 0x81, kR2 = 0x82;

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

// What the synthetic device says about itself.
struct DeviceLayout {
    bool msOs20 = true;  // BOS with the MS OS 2.0 platform capability
    bool msOs10 = false; // string 0xEE and extended properties
    std::string guid = std::string(kTensologInterfaceGuid);
    bool claimBusy = false; // interface 0 is claimed by someone else
    bool instrumentEndpoints = true; // else the third endpoint is an interrupt IN
};

Bytes DeviceAndConfigDescriptors(bool usb201, bool instrumentEndpoints) {
    const std::uint8_t thirdType = instrumentEndpoints ? 2 : 3;
    Bytes d = {18, 1, usb201 ? std::uint8_t{0x01} : std::uint8_t{0x00}, 0x02, 0xFF, 0, 0, 64};
    Put16(d, kVendor);
    Put16(d, kProduct);
    Bytes rest = {0x00, 0x01, 0, 0, 0, 1,
                  // configuration: one interface with three bulk endpoints
                  9, 2, 39, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 3, 0xFF, 0, 0, 0, 7, 5, kS1, 2, 64, 0, 0, 7, 5,
                  kR1, 2, 64, 0, 0, 7, 5, kR2, thirdType, 64, 0, 0};
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

// The device's side of usbfs. ioctls arrive on umockdev's worker thread; the test
// thread scripts what the IN endpoints deliver.
class SyntheticInstrument {
public:
    explicit SyntheticInstrument(DeviceLayout layout) : layout_(std::move(layout)) {
        testbed_ = umockdev_testbed_new();
        const std::string record = fmt::format(
            "P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n"
            "N: bus/usb/001/002\n"
            "E: SUBSYSTEM=usb\n"
            "E: DEVTYPE=usb_device\n"
            "E: DEVNAME=/dev/bus/usb/001/002\n"
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
            kVendor, kProduct, Hex(DeviceAndConfigDescriptors(layout_.msOs20, layout_.instrumentEndpoints)));
        GError* error = nullptr;
        if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error))
            Fail("add device", error);
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&SyntheticInstrument::OnIoctl), this);
        if (!umockdev_testbed_attach_ioctl(testbed_, "/dev/bus/usb/001/002", handler_, &error))
            Fail("attach", error);
    }
    ~SyntheticInstrument() {
        umockdev_testbed_detach_ioctl(testbed_, "/dev/bus/usb/001/002", nullptr);
        {
            std::lock_guard lock(mutex_);
            for (Urb& u : pending_)
                Release(u);
            for (Urb& u : completed_)
                Release(u);
        }
        g_object_unref(handler_);
        g_object_unref(testbed_);
    }

    // What the next IN transfer on the endpoint gets: data, or a failure status.
    void Deliver(std::uint8_t endpoint, Bytes data, int status = 0) {
        std::lock_guard lock(mutex_);
        script_[endpoint].push_back({std::move(data), status});
        ServePending();
    }
    std::vector<Bytes> Written() {
        std::lock_guard lock(mutex_);
        return written_;
    }
    bool WaitForPendingRead(std::uint8_t endpoint) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] {
            return std::any_of(pending_.begin(), pending_.end(),
                               [&](const Urb& u) { return u.urb->endpoint == endpoint; });
        });
    }
    int discards() {
        std::lock_guard lock(mutex_);
        return discards_;
    }

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

    static void Fail(const char* what, GError* error) {
        ADD_FAILURE() << what << ": " << (error != nullptr ? error->message : "?");
        if (error != nullptr)
            g_error_free(error);
    }
    static void Release(Urb& u) {
        g_object_unref(u.buffer);
        g_object_unref(u.data);
    }

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        static_cast<SyntheticInstrument*>(self)->Handle(client);
        return TRUE;
    }

    void Handle(UMockdevIoctlClient* client) {
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
        default:
            return umockdev_ioctl_client_complete(client, -1, ENOTTY);
        }
    }

    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(data->data);
        UMockdevIoctlData* buffer = umockdev_ioctl_data_resolve(
            data, offsetof(usbdevfs_urb, buffer), static_cast<gsize>(urb->buffer_length), nullptr);
        Urb u{data, buffer, urb};
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
            AnswerControl(u);
            completed_.push_back(u);
        } else if (urb->endpoint & 0x80) {
            pending_.push_back(u);
            ServePending();
        } else {
            written_.emplace_back(buffer->data, buffer->data + urb->buffer_length);
            urb->actual_length = urb->buffer_length;
            urb->status = 0;
            completed_.push_back(u);
        }
        changed_.notify_all();
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    void AnswerControl(Urb& u) {
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

    // IN URBs take the scripted replies of their endpoint in order.
    void ServePending() {
        for (auto it = pending_.begin(); it != pending_.end();) {
            auto& replies = script_[it->urb->endpoint];
            if (replies.empty()) {
                ++it;
                continue;
            }
            const Reply reply = std::move(replies.front());
            replies.pop_front();
            const std::size_t n =
                std::min(reply.data.size(), static_cast<std::size_t>(it->urb->buffer_length));
            std::copy_n(reply.data.begin(), n, it->buffer->data);
            it->urb->status = reply.status;
            it->urb->actual_length = reply.status == 0 ? static_cast<int>(n) : 0;
            completed_.push_back(*it);
            it = pending_.erase(it);
        }
    }

    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        if (completed_.empty())
            return umockdev_ioctl_client_complete(client, -1, EAGAIN);
        Urb u = completed_.front();
        completed_.pop_front();
        // The argument points to the caller's pointer variable, which receives the URB.
        UMockdevIoctlData* slot = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
        umockdev_ioctl_data_set_ptr(slot, 0, u.data);
        umockdev_ioctl_client_complete(client, 0, 0);
        g_object_unref(slot);
        Release(u);
    }

    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        const auto address = *reinterpret_cast<const gulong*>(arg->data);
        const auto it = std::find_if(pending_.begin(), pending_.end(),
                                     [&](const Urb& u) { return u.data->client_addr == address; });
        if (it == pending_.end())
            return umockdev_ioctl_client_complete(client, -1, EINVAL);
        it->urb->status = -ENOENT;
        it->urb->actual_length = 0;
        completed_.push_back(*it);
        pending_.erase(it);
        ++discards_;
        umockdev_ioctl_client_complete(client, 0, 0);
    }

    DeviceLayout layout_;
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Urb> pending_, completed_;
    std::map<std::uint8_t, std::deque<Reply>> script_;
    std::vector<Bytes> written_;
    int discards_ = 0;
};

class LibusbUnderUmockdev : public ::testing::Test {
protected:
    // The test bed comes first: only with it in place does umockdev report the mock
    // environment, and without it libusb would see the machine's real USB devices.
    void Attach(DeviceLayout layout = {}) {
        device = std::make_unique<SyntheticInstrument>(std::move(layout));
        ASSERT_TRUE(umockdev_in_mock_environment()) << "run under umockdev-wrapper";
    }
    std::unique_ptr<SyntheticInstrument> device;
    std::array<std::uint8_t, 32> buffer{};
};

std::span<std::uint8_t> Packet(std::array<std::uint8_t, 32>& b, std::size_t n) {
    return std::span(b).first(n);
}

TEST_F(LibusbUnderUmockdev, GuidInMsOs20DescriptorsOpensAndTransfers) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);

    const auto pipes = transport.QueryPipes();
    ASSERT_TRUE(pipes);
    ASSERT_EQ(pipes->size(), 3u);
    EXPECT_EQ((*pipes)[0].pipeId, kS1);
    EXPECT_EQ((*pipes)[1].pipeId, kR1);
    EXPECT_EQ((*pipes)[1].index, 1);
    EXPECT_EQ((*pipes)[2].pipeId, kR2);
    for (const PipeInfo& p : *pipes)
        EXPECT_EQ(p.type, PipeType::Bulk);

    EXPECT_TRUE(transport.CreateCompletionWait(kR1));
    EXPECT_TRUE(transport.SetPipeTimeout(kR1, 1000));
    device->Deliver(kR1, {'#', 'Z', '1', '6', '5', 0, 0xA7});
    EXPECT_TRUE(Completed(transport.Transfer(kR1, Packet(buffer, 16), 2000)));
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(buffer[4], '5');

    std::array<std::uint8_t, 16> command = {'#', 'A', '0', '3', 0, 0xA7};
    EXPECT_TRUE(Completed(transport.Transfer(kS1, command, 1500)));
    ASSERT_EQ(device->Written().size(), 1u);
    EXPECT_EQ(device->Written()[0], Bytes(command.begin(), command.end()));

    device->Deliver(kR2, Bytes(32, 0x31));
    EXPECT_TRUE(Completed(transport.Transfer(kR2, Packet(buffer, 32), 750)));
    EXPECT_EQ(buffer[31], 0x31);
    transport.Close();
}

TEST_F(LibusbUnderUmockdev, GuidInMsOs10DescriptorsOpens) {
    DeviceLayout layout;
    layout.msOs20 = false;
    layout.msOs10 = true;
    ASSERT_NO_FATAL_FAILURE(Attach(layout));
    LibusbTransport transport(std::vector<UsbId>{});
    EXPECT_EQ(transport.Open().status, OpenResult::Status::Opened);
}

TEST_F(LibusbUnderUmockdev, OtherGuidIsNotTheInstrumentUnlessListed) {
    DeviceLayout layout;
    layout.guid = "{00000000-1111-2222-3333-444444444444}";
    ASSERT_NO_FATAL_FAILURE(Attach(layout));
    EXPECT_EQ(LibusbTransport(std::vector<UsbId>{}).Open().status, OpenResult::Status::NotFound);
    EXPECT_EQ(LibusbTransport(std::vector<UsbId>{{kVendor, kProduct}}).Open().status,
              OpenResult::Status::Opened);
}

TEST_F(LibusbUnderUmockdev, DeviceWithoutDescriptorsIsPassedOver) {
    DeviceLayout layout;
    layout.msOs20 = false; // every descriptor request stalls
    ASSERT_NO_FATAL_FAILURE(Attach(layout));
    EXPECT_EQ(LibusbTransport(std::vector<UsbId>{}).Open().status, OpenResult::Status::NotFound);
}

TEST_F(LibusbUnderUmockdev, ClaimedInterfaceMeansInUse) {
    DeviceLayout layout;
    layout.claimBusy = true;
    ASSERT_NO_FATAL_FAILURE(Attach(layout));
    const OpenResult result = LibusbTransport(std::vector<UsbId>{}).Open();
    EXPECT_EQ(result.status, OpenResult::Status::InUse);
    EXPECT_TRUE(result.hint.empty()); // busy, not a question of permission
}

// Stand-ins for libusb_open: the device node refuses this user, or fails otherwise. (The
// tests run as root, whom the node's permissions would not stop.)
int RefuseAccess(libusb_device*, libusb_device_handle**) {
    return LIBUSB_ERROR_ACCESS;
}
int FailIo(libusb_device*, libusb_device_handle**) {
    return LIBUSB_ERROR_IO;
}

TEST_F(LibusbUnderUmockdev, DeviceThatCannotBeOpenedIsNamedWhenItLooksLikeTheInstrument) {
    struct Case {
        const char* situation;
        UsbDeviceOpener opener;
        bool instrumentEndpoints;
        bool listed;
        OpenResult::Status status;
        std::vector<std::string> hint; // parts of it; none: no hint
    } cases[] = {
        {"no permission",
         RefuseAccess,
         true,
         false,
         OpenResult::Status::NotFound,
         {"looks like the Tensolog", "bus 001, address 002, ID 1234:5678", "no permission",
          "--udev-rule 1234:5678 --install"}},
        {"other failure",
         FailIo,
         true,
         false,
         OpenResult::Status::NotFound,
         {"bus 001, address 002", "Input/Output"}},
        {"not the instrument's layout", RefuseAccess, false, false, OpenResult::Status::NotFound, {}},
        {"listed, no permission",
         RefuseAccess,
         false,
         true,
         OpenResult::Status::InUse,
         {"bus 001, address 002, ID 1234:5678", "--udev-rule 1234:5678 --install"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        DeviceLayout layout;
        layout.instrumentEndpoints = c.instrumentEndpoints;
        ASSERT_NO_FATAL_FAILURE(Attach(layout));
        std::vector<UsbId> listed;
        if (c.listed)
            listed.push_back({kVendor, kProduct});
        const OpenResult result = LibusbTransport(listed, c.opener).Open();
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.hint.empty(), c.hint.empty()) << result.hint;
        for (const std::string& part : c.hint)
            EXPECT_NE(result.hint.find(part), std::string::npos) << part << " in\n" << result.hint;
        device.reset();
    }
}

TEST_F(LibusbUnderUmockdev, TransferThatNeverCompletesTimesOut) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    transport.SetPipeTimeout(kR2, 20); // the transport's own timer; kept short
    EXPECT_EQ(transport.Transfer(kR2, Packet(buffer, 32), 750), TransferOutcome::TimedOut);
    EXPECT_EQ(device->discards(), 1);
}

TEST_F(LibusbUnderUmockdev, FailingTransferFails) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    device->Deliver(kR1, {}, -EPROTO);
    EXPECT_EQ(transport.Transfer(kR1, Packet(buffer, 16), 2000), TransferOutcome::Failed);
}

TEST_F(LibusbUnderUmockdev, CancelEndsABlockedTransfer) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    transport.SetPipeTimeout(kR1, 60000);
    std::thread canceller([&] {
        ASSERT_TRUE(device->WaitForPendingRead(kR1));
        transport.CancelTransfers();
    });
    EXPECT_EQ(transport.Transfer(kR1, Packet(buffer, 16), 60000), TransferOutcome::Failed);
    canceller.join();
    // Until the next open, further transfers fail at once.
    EXPECT_EQ(transport.Transfer(kR1, Packet(buffer, 16), 60000), TransferOutcome::Failed);
}

} // namespace
} // namespace kantrel
