// The libusb transport against the synthetic instrument (see synthetic_instrument.h).

#include <gtest/gtest.h>

#include <libusb.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <numeric>
#include <span>
#include <thread>
#include <vector>

#include "platform/libusb_transport.h"
#include "synthetic_instrument.h"

namespace kantrel {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::DeviceLayout;
using test::kProduct;
using test::kR1;
using test::kR2;
using test::kS1;
using test::kVendor;
using test::SyntheticInstrument;

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
    EXPECT_TRUE(Completed(transport.Transfer(kR1, Packet(buffer, 16), 2000).outcome));
    EXPECT_EQ(buffer[0], '#');
    EXPECT_EQ(buffer[4], '5');

    std::array<std::uint8_t, 16> command = {'#', 'A', '0', '3', 0, 0xA7};
    EXPECT_TRUE(Completed(transport.Transfer(kS1, command, 1500).outcome));
    ASSERT_EQ(device->Written().size(), 1u);
    EXPECT_EQ(device->Written()[0], Bytes(command.begin(), command.end()));

    device->Deliver(kR2, Bytes(32, 0x31));
    EXPECT_TRUE(Completed(transport.Transfer(kR2, Packet(buffer, 32), 750).outcome));
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
    EXPECT_EQ(transport.Transfer(kR2, Packet(buffer, 32), 750).outcome, TransferOutcome::NotCompleted);
    EXPECT_EQ(device->Discards(), 1);
}

// Only a transfer that cannot be submitted fails. One that was submitted and then ends
// in any other way than completed has not completed after its wait, and says so no
// sooner than its time-out, so that a reader that retries at once does not spin.
TEST_F(LibusbUnderUmockdev, SubmittedTransferThatEndsUncompletedIsNotCompleted) {
    constexpr int kTimeoutMs = 50;
    struct Case {
        const char* situation;
        std::function<void(SyntheticInstrument&)> fault;
        int clearHalts;
    } cases[] = {
        {"bus error", [](SyntheticInstrument& d) { d.Deliver(kR1, {}, -EPROTO); }, 0},
        {"stall", [](SyntheticInstrument& d) { d.Stall(kR1); }, 1},
        {"device removed", [](SyntheticInstrument& d) { d.Remove(); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        device.reset();
        ASSERT_NO_FATAL_FAILURE(Attach());
        LibusbTransport transport(std::vector<UsbId>{});
        ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
        transport.SetPipeTimeout(kR1, kTimeoutMs);
        std::thread fault([&] {
            ASSERT_TRUE(device->WaitForPendingTransfer(kR1));
            c.fault(*device);
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(transport.Transfer(kR1, Packet(buffer, 16), 2000).outcome, TransferOutcome::NotCompleted);
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(kTimeoutMs));
        fault.join();
        EXPECT_EQ(device->ClearHalts(kR1), c.clearHalts);
    }
}

TEST_F(LibusbUnderUmockdev, StalledPipeWorksAgainAfterItsHaltIsCleared) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    transport.SetPipeTimeout(kR2, 20);
    device->Stall(kR2);
    EXPECT_EQ(transport.Transfer(kR2, Packet(buffer, 32), 750).outcome, TransferOutcome::NotCompleted);
    device->Deliver(kR2, Bytes(32, 0x33));
    EXPECT_TRUE(Completed(transport.Transfer(kR2, Packet(buffer, 32), 750).outcome));
    EXPECT_EQ(buffer[0], 0x33);
}

TEST_F(LibusbUnderUmockdev, TransferThatCannotBeSubmittedFailsAtOnce) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    device->Remove();
    for (const std::uint8_t pipe : {kR1, kR2, kS1}) {
        SCOPED_TRACE(static_cast<int>(pipe));
        EXPECT_EQ(transport.Transfer(pipe, Packet(buffer, 16), 60000).outcome, TransferOutcome::Failed);
    }
}

TEST_F(LibusbUnderUmockdev, CancelEndsABlockedTransfer) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    transport.SetPipeTimeout(kR1, 60000);
    std::thread canceller([&] {
        ASSERT_TRUE(device->WaitForPendingTransfer(kR1));
        transport.CancelTransfers();
    });
    EXPECT_EQ(transport.Transfer(kR1, Packet(buffer, 16), 60000).outcome, TransferOutcome::Failed);
    canceller.join();
    // Until the next open, further transfers fail at once.
    EXPECT_EQ(transport.Transfer(kR1, Packet(buffer, 16), 60000).outcome, TransferOutcome::Failed);
}

Bytes Numbered(std::size_t n, std::uint8_t first = 0) {
    Bytes bytes(n);
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

// A packet longer than the read is kept, as WinUSB keeps it: the read takes what it asked
// for and the next reads on the same pipe get the rest, without another transfer.
TEST_F(LibusbUnderUmockdev, SurplusOfAPacketServesTheNextReadsOfItsPipe) {
    struct Case {
        const char* situation;
        std::uint8_t pipe;
        std::size_t packet, read;
        std::vector<std::size_t> lengths; // of the reads that take the packet
    } cases[] = {
        {"32-byte answer in one packet", kR1, 32, 16, {16, 16}},
        {"four answer packets in one", kR1, 64, 16, {16, 16, 16, 16}},
        {"two frames in one 64-byte packet", kR2, 64, 32, {32, 32}},
        {"a frame and a half", kR2, 48, 32, {32, 16}},
        {"short answer", kR1, 7, 16, {7}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        device.reset();
        ASSERT_NO_FATAL_FAILURE(Attach());
        LibusbTransport transport(std::vector<UsbId>{});
        ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
        transport.SetPipeTimeout(c.pipe, 20);
        const Bytes packet = Numbered(c.packet, 0x40);
        device->Deliver(c.pipe, packet);
        Bytes received;
        for (const std::size_t expected : c.lengths) {
            const TransferResult result = transport.Transfer(c.pipe, Packet(buffer, c.read), 750);
            ASSERT_TRUE(Completed(result));
            ASSERT_EQ(result.length, expected);
            received.insert(received.end(), buffer.begin(),
                            buffer.begin() + static_cast<std::ptrdiff_t>(expected));
        }
        EXPECT_EQ(received, packet);
        EXPECT_EQ(device->Submits(c.pipe), 1);
        // All taken: the next read waits for the device again.
        EXPECT_EQ(transport.Transfer(c.pipe, Packet(buffer, c.read), 750).outcome,
                  TransferOutcome::NotCompleted);
    }
}

// A device that babbles (a packet beyond its own maximum size) overflows even a read of
// whole packets: the transfer has not completed.
TEST_F(LibusbUnderUmockdev, PacketLongerThanTheEndpointAllowsIsNotCompleted) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    transport.SetPipeTimeout(kR2, 20);
    device->Deliver(kR2, Numbered(test::kMaxPacket + 1));
    EXPECT_EQ(transport.Transfer(kR2, Packet(buffer, 32), 750).outcome, TransferOutcome::NotCompleted);
}

// The command thread reads R1, the measuring thread R2, the main thread writes S1, all
// at once through one transport; each pipe keeps its own bytes in order.
TEST_F(LibusbUnderUmockdev, ThreePipesFromThreeThreadsAtOnce) {
    ASSERT_NO_FATAL_FAILURE(Attach());
    LibusbTransport transport(std::vector<UsbId>{});
    ASSERT_EQ(transport.Open().status, OpenResult::Status::Opened);
    for (const std::uint8_t pipe : {kR1, kR2, kS1})
        transport.SetPipeTimeout(pipe, 10000);
    constexpr int kRounds = 40;
    const auto fill = [](std::span<std::uint8_t> bytes, int round) {
        std::fill(bytes.begin(), bytes.end(), static_cast<std::uint8_t>(round));
    };

    std::vector<int> answers, frames;
    std::thread r1([&] {
        std::array<std::uint8_t, 16> packet{};
        for (int i = 0; i < kRounds && Completed(transport.Transfer(kR1, packet, 10000)); ++i)
            answers.push_back(packet[0] == packet[15] ? packet[0] : -1);
    });
    std::thread r2([&] {
        std::array<std::uint8_t, 32> frame{};
        for (int i = 0; i < 2 * kRounds && Completed(transport.Transfer(kR2, frame, 10000)); ++i)
            frames.push_back(frame[0] == frame[31] ? frame[0] : -1);
    });
    std::thread s1([&] {
        std::array<std::uint8_t, 16> command{};
        for (int i = 0; i < kRounds; ++i) {
            fill(command, i);
            ASSERT_TRUE(Completed(transport.Transfer(kS1, command, 10000)));
        }
    });
    // The device answers each read while it waits: an answer on R1, two frames in one
    // packet on R2.
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_TRUE(device->WaitForPendingTransfer(kR1));
        Bytes answer(16);
        fill(answer, i);
        device->Deliver(kR1, answer);
        ASSERT_TRUE(device->WaitForPendingTransfer(kR2));
        Bytes twoFrames(64);
        fill(std::span(twoFrames).first(32), 2 * i);
        fill(std::span(twoFrames).last(32), 2 * i + 1);
        device->Deliver(kR2, twoFrames);
    }
    r1.join();
    r2.join();
    s1.join();

    std::vector<int> expectedAnswers(kRounds), expectedFrames(2 * kRounds);
    std::iota(expectedAnswers.begin(), expectedAnswers.end(), 0);
    std::iota(expectedFrames.begin(), expectedFrames.end(), 0);
    EXPECT_EQ(answers, expectedAnswers);
    EXPECT_EQ(frames, expectedFrames);
    const auto written = device->Written();
    ASSERT_EQ(written.size(), static_cast<std::size_t>(kRounds));
    for (int i = 0; i < kRounds; ++i)
        EXPECT_EQ(written[static_cast<std::size_t>(i)], Bytes(16, static_cast<std::uint8_t>(i))) << i;
    EXPECT_EQ(device->Submits(kR2), kRounds); // every second frame came from the kept half
}

} // namespace
} // namespace kantrel
