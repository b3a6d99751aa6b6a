#include "platform/libusb_transport.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <libusb.h>

#include "platform/ms_os_descriptors.h"

namespace kantrel {

namespace {

constexpr unsigned kControlTimeoutMs = 1000;
constexpr std::size_t kMaxDescriptorBytes = 4096;

std::vector<std::uint8_t> ReadBos(libusb_device_handle* handle) {
    std::array<std::uint8_t, 5> header{};
    if (libusb_get_descriptor(handle, LIBUSB_DT_BOS, 0, header.data(), header.size()) < 5)
        return {};
    const std::size_t total = std::min<std::size_t>(header[2] | header[3] << 8, kMaxDescriptorBytes);
    std::vector<std::uint8_t> bos(total);
    const int got = libusb_get_descriptor(handle, LIBUSB_DT_BOS, 0, bos.data(), static_cast<int>(bos.size()));
    bos.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bos;
}

// A vendor request that reads up to `length` bytes; empty when it fails.
std::vector<std::uint8_t> VendorRead(libusb_device_handle* handle, std::uint8_t requestType,
                                     std::uint8_t request, std::uint16_t value, std::uint16_t index,
                                     std::size_t length) {
    std::vector<std::uint8_t> bytes(std::min(length, kMaxDescriptorBytes));
    const int got = libusb_control_transfer(handle, requestType, request, value, index, bytes.data(),
                                            static_cast<std::uint16_t>(bytes.size()), kControlTimeoutMs);
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bytes;
}

UnopenedDevice Unopened(libusb_device* device, UsbId id, int error) {
    return {libusb_get_bus_number(device), libusb_get_device_address(device), id,
            error == LIBUSB_ERROR_ACCESS, libusb_strerror(error)};
}

// Whether the configuration descriptor, which needs no opened device, shows the
// instrument's interface layout.
bool LooksLikeInstrument(libusb_device* device) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) < 0 &&
        libusb_get_config_descriptor(device, 0, &config) < 0)
        return false;
    const auto pipes = InterfaceZeroPipes(*config);
    libusb_free_config_descriptor(config);
    return pipes && HasInstrumentLayout(*pipes);
}

struct Endpoint {
    std::uint8_t address = 0;
    std::uint8_t attributes = 0;
    std::size_t maxPacketSize = 0;
};

// The endpoints of interface 0 (alternate setting 0) in index order; nullopt when the
// configuration cannot be read or has no interface 0.
std::optional<std::vector<Endpoint>> Interface0Endpoints(libusb_device_handle* handle) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(libusb_get_device(handle), &config) < 0)
        return std::nullopt;
    std::optional<std::vector<Endpoint>> endpoints;
    for (int i = 0; i < config->bNumInterfaces && !endpoints; ++i) {
        const libusb_interface& interface = config->interface[i];
        if (interface.num_altsetting < 1 || interface.altsetting[0].bInterfaceNumber != 0)
            continue;
        const libusb_interface_descriptor& setting = interface.altsetting[0];
        endpoints.emplace();
        for (int e = 0; e < setting.bNumEndpoints; ++e) {
            const libusb_endpoint_descriptor& d = setting.endpoint[e];
            // Bits 11 and 12 count extra transactions per microframe, not bytes.
            endpoints->push_back({d.bEndpointAddress, d.bmAttributes, d.wMaxPacketSize & 0x7FFu});
        }
    }
    libusb_free_config_descriptor(config);
    return endpoints;
}

OpenResult InUse(const UnopenedDevice& device) {
    OpenResult result{OpenResult::Status::InUse, {}};
    if (device.noPermission)
        result.hint = UnopenedDevicesHint(std::span(&device, 1), UdevRuleProgram());
    return result;
}

void LIBUSB_CALL MarkCompleted(libusb_transfer* transfer) {
    std::atomic_ref<int>(*static_cast<int*>(transfer->user_data)).store(1, std::memory_order_release);
}

} // namespace

LibusbTransport::LibusbTransport() : opener_(libusb_open) {
    if (const char* ids = std::getenv(kUsbIdsVariable))
        listedIds_ = ParseUsbIds(ids);
}

LibusbTransport::LibusbTransport(std::vector<UsbId> listedIds, UsbDeviceOpener opener)
    : listedIds_(std::move(listedIds)), opener_(opener != nullptr ? opener : libusb_open) {}

LibusbTransport::~LibusbTransport() {
    Close();
    if (context_ != nullptr)
        libusb_exit(context_);
}

OpenResult LibusbTransport::Open() {
    Close();
    if (context_ == nullptr && libusb_init(&context_) < 0) {
        context_ = nullptr;
        return {OpenResult::Status::DeviceListFailed, {}};
    }
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_, &list);
    if (count < 0)
        return {OpenResult::Status::DeviceListFailed, {}};

    OpenResult result{OpenResult::Status::NotFound, {}};
    std::vector<UnopenedDevice> unopened;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) < 0)
            continue;
        const UsbId id{descriptor.idVendor, descriptor.idProduct};
        const bool listed = std::find(listedIds_.begin(), listedIds_.end(), id) != listedIds_.end();

        libusb_device_handle* handle = nullptr;
        const int opened = opener_(list[i], &handle);
        if (opened < 0) {
            if (listed) {
                result = InUse(Unopened(list[i], id, opened));
                break;
            }
            if (LooksLikeInstrument(list[i]))
                unopened.push_back(Unopened(list[i], id, opened));
            continue;
        }
        if (!listed && !NamesInterfaceGuid(handle, descriptor.bcdUSB)) {
            libusb_close(handle);
            continue;
        }
        libusb_set_auto_detach_kernel_driver(handle, 1);
        const int claimed = libusb_claim_interface(handle, 0);
        if (claimed < 0) {
            libusb_close(handle);
            result = InUse(Unopened(list[i], id, claimed));
            break;
        }
        std::lock_guard lock(mutex_);
        handle_ = handle;
        closing_ = false;
        pipeTimeouts_.clear();
        surplus_.clear();
        maxPacketSizes_.clear();
        for (const Endpoint& endpoint : Interface0Endpoints(handle).value_or(std::vector<Endpoint>{}))
            maxPacketSizes_[endpoint.address] = endpoint.maxPacketSize;
        result = {OpenResult::Status::Opened, {}};
        break;
    }
    libusb_free_device_list(list, 1);
    if (result.status == OpenResult::Status::NotFound)
        result.hint = UnopenedDevicesHint(unopened, UdevRuleProgram());
    return result;
}

bool LibusbTransport::NamesInterfaceGuid(libusb_device_handle* handle, std::uint16_t bcdUsb) const {
    // MS OS 2.0 descriptors live in the BOS, which exists from USB 2.01 on.
    if (bcdUsb >= 0x0201) {
        if (const auto set = FindMsOs20DescriptorSet(ReadBos(handle))) {
            const auto bytes =
                VendorRead(handle, 0xC0, set->vendorCode, 0, kMsOs20DescriptorIndex, set->totalLength);
            if (NamesGuid(MsOs20InterfaceGuids(bytes), kTensologInterfaceGuid))
                return true;
        }
    }
    std::array<std::uint8_t, 255> string{};
    const int got = libusb_get_string_descriptor(handle, kMsOs10StringIndex, 0, string.data(), string.size());
    if (got < 0)
        return false;
    const auto vendorCode = MsOs10VendorCode(std::span(string).first(static_cast<std::size_t>(got)));
    if (!vendorCode)
        return false;
    const auto properties =
        VendorRead(handle, 0xC1, *vendorCode, 0, kMsOs10ExtendedPropertiesIndex, kMaxDescriptorBytes);
    return NamesGuid(MsOs10InterfaceGuids(properties), kTensologInterfaceGuid);
}

std::optional<std::vector<PipeInfo>> LibusbTransport::QueryPipes() {
    if (handle_ == nullptr)
        return std::nullopt;
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(libusb_get_device(handle_), &config) < 0)
        return std::nullopt;
    const auto pipes = InterfaceZeroPipes(*config);
    libusb_free_config_descriptor(config);
    return pipes;
}

bool LibusbTransport::SetPipeTimeout(std::uint8_t pipeId, int timeoutMs) {
    std::lock_guard lock(mutex_);
    pipeTimeouts_[pipeId] = timeoutMs;
    return true;
}

int LibusbTransport::TimeoutFor(std::uint8_t pipeId, int waitMs) {
    std::lock_guard lock(mutex_);
    const auto it = pipeTimeouts_.find(pipeId);
    int timeout = it != pipeTimeouts_.end() && it->second > 0 ? it->second : waitMs;
    if (waitMs > 0)
        timeout = std::min(timeout, waitMs);
    return std::max(timeout, 1); // libusb reads 0 as "no time-out"
}

TransferResult LibusbTransport::Transfer(std::uint8_t pipeId, std::span<std::uint8_t> buffer, int waitMs) {
    const bool in = IsInPipe(pipeId);
    if (in) {
        if (const auto kept = TakeSurplus(pipeId, buffer))
            return {TransferOutcome::CompletedAtOnce, *kept};
    }
    // An IN transfer asks for whole packets: a packet that did not fit would end it with
    // an overflow and its bytes would be lost.
    std::vector<std::uint8_t> packets(in ? WholePackets(pipeId, buffer.size()) : 0);
    const std::span<std::uint8_t> target = in ? std::span(packets) : buffer;

    const int timeoutMs = TimeoutFor(pipeId, waitMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    libusb_transfer* transfer = libusb_alloc_transfer(0);
    if (transfer == nullptr)
        return {TransferOutcome::Failed, 0};
    int completed = 0;
    libusb_fill_bulk_transfer(transfer, handle_, pipeId, target.data(), static_cast<int>(target.size()),
                              MarkCompleted, &completed, static_cast<unsigned>(timeoutMs));
    {
        std::lock_guard lock(mutex_);
        if (closing_ || handle_ == nullptr || libusb_submit_transfer(transfer) < 0) {
            libusb_free_transfer(transfer);
            return {TransferOutcome::Failed, 0};
        }
        inFlight_.insert(transfer);
    }
    AwaitCompletion(transfer, completed);
    {
        std::lock_guard lock(mutex_);
        inFlight_.erase(transfer);
    }
    const libusb_transfer_status status = transfer->status;
    const auto moved = static_cast<std::size_t>(std::max(transfer->actual_length, 0));
    libusb_free_transfer(transfer);
    if (status == LIBUSB_TRANSFER_COMPLETED) {
        if (!in)
            return {TransferOutcome::CompletedAfterWait, moved};
        return {TransferOutcome::CompletedAfterWait,
                KeepSurplus(pipeId, std::span(packets).first(moved), buffer)};
    }
    if (status == LIBUSB_TRANSFER_STALL)
        libusb_clear_halt(handle_, pipeId); // so that the pipe can work again
    return {HoldUntil(deadline) ? TransferOutcome::NotCompleted : TransferOutcome::Failed, 0};
}

std::size_t LibusbTransport::WholePackets(std::uint8_t pipeId, std::size_t length) {
    std::lock_guard lock(mutex_);
    const auto it = maxPacketSizes_.find(pipeId);
    const std::size_t packet = it != maxPacketSizes_.end() ? it->second : 0;
    return packet == 0 ? length : (length + packet - 1) / packet * packet;
}

std::optional<std::size_t> LibusbTransport::TakeSurplus(std::uint8_t pipeId, std::span<std::uint8_t> buffer) {
    std::lock_guard lock(mutex_);
    std::vector<std::uint8_t>& kept = surplus_[pipeId];
    if (kept.empty())
        return std::nullopt;
    const std::size_t n = std::min(kept.size(), buffer.size());
    std::copy_n(kept.begin(), n, buffer.begin());
    kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(n));
    return n;
}

std::size_t LibusbTransport::KeepSurplus(std::uint8_t pipeId, std::span<const std::uint8_t> received,
                                         std::span<std::uint8_t> buffer) {
    const std::size_t n = std::min(received.size(), buffer.size());
    std::copy_n(received.begin(), n, buffer.begin());
    std::lock_guard lock(mutex_);
    surplus_[pipeId].assign(received.begin() + static_cast<std::ptrdiff_t>(n), received.end());
    return n;
}

void LibusbTransport::AwaitCompletion(libusb_transfer* transfer, int& completed) {
    bool cancelled = false;
    // Any thread may be the one that handles libusb's events and runs the callback;
    // libusb reads the flag under its own lock, this thread through an atomic reference.
    while (std::atomic_ref<int>(completed).load(std::memory_order_acquire) == 0) {
        const int rc = libusb_handle_events_completed(context_, &completed);
        if (rc < 0 && rc != LIBUSB_ERROR_INTERRUPTED && !cancelled) {
            libusb_cancel_transfer(transfer);
            cancelled = true;
        }
    }
}

bool LibusbTransport::HoldUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    closingChanged_.wait_until(lock, deadline, [this] { return closing_; });
    return !closing_;
}

void LibusbTransport::CancelTransfers() {
    std::lock_guard lock(mutex_);
    closing_ = true;
    for (libusb_transfer* transfer : inFlight_)
        libusb_cancel_transfer(transfer);
    closingChanged_.notify_all();
}

void LibusbTransport::Close() {
    CancelTransfers();
    if (handle_ == nullptr)
        return;
    libusb_release_interface(handle_, 0);
    libusb_close(handle_);
    std::lock_guard lock(mutex_);
    handle_ = nullptr;
    surplus_.clear();
}

} // namespace kantrel
