#pragma once

// What the device link needs from a USB stack: find and open the one instrument, list
// the pipes of its interface 0, prepare a pipe before each transfer, and move one packet
// with a time-out. The libusb transport and the simulated instrument implement it; tests
// script it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kantrel {

enum class PipeType { Control, Isochronous, Bulk, Interrupt };

struct PipeInfo {
    PipeType type = PipeType::Bulk;
    std::uint8_t pipeId = 0; // endpoint address; bit 7 set = IN
    int index = 0;           // endpoint index within interface 0
};

inline bool IsInPipe(std::uint8_t pipeId) {
    return (pipeId & 0x80) != 0;
}

struct OpenResult {
    enum class Status {
        Opened,
        NotFound,         // no instrument present, or its descriptors could not be read
        DeviceListFailed, // the list of devices could not be had at all
        InUse,            // found, but it cannot be opened or its interface 0 claimed
    } status = Status::NotFound;
    // For InUse: why, when it is worth telling (for example how to grant access). For
    // NotFound: devices that look like the instrument but could not be opened, and the fix.
    std::string hint;
};

// How one transfer ended. Only a transfer that cannot be started fails; one that was
// started and has not completed when its wait ends is "not completed", whatever ended
// it: the pipe time-out or the wait ran out, the endpoint stalled, the device went away,
// the bus reported an error.
enum class TransferOutcome {
    CompletedAtOnce,
    CompletedAfterWait,
    NotCompleted, // started, but not completed after the wait
    Failed,       // failed at once, or was cancelled because the link is closing
};

inline bool Completed(TransferOutcome o) {
    return o == TransferOutcome::CompletedAtOnce || o == TransferOutcome::CompletedAfterWait;
}

// How a transfer ended and how many bytes it moved. A completed IN transfer may bring
// fewer bytes than it asked for: the device ended its transfer with a short packet.
struct TransferResult {
    TransferOutcome outcome = TransferOutcome::Failed;
    std::size_t length = 0; // 0 unless completed
};

inline bool Completed(const TransferResult& r) {
    return Completed(r.outcome);
}

class UsbTransport {
public:
    virtual ~UsbTransport() = default;

    // Finds the first instrument and opens its interface 0.
    virtual OpenResult Open() = 0;
    // The endpoints of interface 0 in index order; nullopt when they cannot be listed.
    virtual std::optional<std::vector<PipeInfo>> QueryPipes() = 0;

    // Set-up before each transfer: the completion wait of the transfer, and the pipe's
    // time-out, which stays in force until it is set again. Either may fail on a
    // platform that allocates them; the libusb transport never fails them.
    virtual bool CreateCompletionWait(std::uint8_t pipeId) = 0;
    virtual bool SetPipeTimeout(std::uint8_t pipeId, int timeoutMs) = 0;

    // One blocking transfer of up to buffer.size() bytes. It ends when the data has moved,
    // when the pipe's time-out passes, after waitMs at the most, or when it fails. An IN
    // pipe behaves as a WinUSB pipe: bytes of a packet beyond the read are kept for the
    // pipe's next read.
    virtual TransferResult Transfer(std::uint8_t pipeId, std::span<std::uint8_t> buffer, int waitMs) = 0;

    // The link is going down: transfers that are blocked end now (Failed), and so does
    // every transfer started until the next Open.
    virtual void CancelTransfers() = 0;
    // Releases the interface and the device. Open may follow.
    virtual void Close() = 0;
};

} // namespace kantrel
