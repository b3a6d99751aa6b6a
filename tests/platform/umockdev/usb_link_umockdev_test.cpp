// The device link over the libusb transport, with its real worker threads, against the
// synthetic instrument: what the program does when the instrument goes away or fails
// while a transfer waits.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "core/link_flags.h"
#include "device/command_channel.h"
#include "device/device_parameters.h"
#include "device/measuring_thread.h"
#include "device/unit_usb.h"
#include "measure/meas_data.h"
#include "platform/libusb_transport.h"
#include "support/fake_ports.h"
#include "support/measurement_fixture.h"
#include "synthetic_instrument.h"

namespace kantrel {
namespace {

using namespace std::chrono_literals;
using test::kR1;
using test::kR2;
using test::kS1;

constexpr auto kPatience = 10s; // real time, only ever a limit

enum class Fault { Remove, Stall };

// A fault that comes while a transfer on one pipe waits, and how the program reacts.
struct FaultCase {
    const char* name;
    std::uint8_t pipe;
    Fault fault;
    std::vector<std::string> events; // messages, saves and the end, in order
    bool dataError;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

const std::string kDataErrorMessage = "message:Data error, save data and repower device";

class UsbLinkUnderUmockdev : public ::testing::Test {
protected:
    void SetUp() override {
        // The test bed comes first: without it libusb would see the machine's real devices.
        device = std::make_unique<test::SyntheticInstrument>(test::DeviceLayout{});
        ASSERT_TRUE(umockdev_in_mock_environment()) << "run under umockdev-wrapper";
        // Work for the main thread runs at once on the worker that asks for it.
        ports.window.runPostedInline = true;
        SetProcessEndHook([this] {
            std::lock_guard lock(ports.window.mutex);
            ports.window.events.push_back("end");
        });
        ASSERT_TRUE(link.OpenUsbLink());
        instrumentConnected = true;
        measData = &store;
    }
    void TearDown() override {
        instrumentConnected = false;
        link.CancelTransfers();
        measuring.reset();
        command.reset();
        link.CloseUsbLink();
        measData = nullptr;
        SetProcessEndHook({});
    }

    void Inject(Fault fault, std::uint8_t pipe) {
        if (fault == Fault::Remove)
            device->Remove();
        else
            device->Stall(pipe);
    }

    test::PortsScope ports;
    std::unique_ptr<test::SyntheticInstrument> device;
    LibusbTransport transport{std::vector<UsbId>{}};
    UnitUSB link{&transport};
    TMeasData store{100};
    std::unique_ptr<TDataThread> command;
    std::unique_ptr<TdataThread2> measuring;
};

class UsbLinkFault : public UsbLinkUnderUmockdev, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(UsbLinkFault, ReactionAndNoThreadLeftSpinning) {
    const FaultCase& c = GetParam();
    if (c.pipe == kR1) {
        command = std::make_unique<TDataThread>(link);
        ASSERT_TRUE(device->WaitForPendingTransfer(kR1));
        commandPending = true;
        Inject(c.fault, kR1);
        if (c.fault == Fault::Stall) {
            // The read gave "#NOP" after its time-out, the halt was cleared, and the
            // thread waits on the pipe again: one read per time-out, no spinning.
            ASSERT_TRUE(device->WaitForPendingTransfer(kR1));
            EXPECT_FALSE(command->Finished());
            EXPECT_FALSE(commandPending);
            EXPECT_EQ(device->Submits(kR1), 2);
            EXPECT_EQ(device->ClearHalts(kR1), 1);
        } else {
            // The read gave "#NOP"; the next one cannot even be started.
            EXPECT_TRUE(command->WaitUntilFinished(kPatience));
        }
    } else if (c.pipe == kR2) {
        measuring = std::make_unique<TdataThread2>(link);
        ASSERT_TRUE(device->WaitForPendingTransfer(kR2));
        Inject(c.fault, kR2);
        EXPECT_TRUE(measuring->WaitUntilFinished(kPatience));
    } else {
        device->HoldWrites(true);
        std::thread fault([&] {
            ASSERT_TRUE(device->WaitForPendingTransfer(kS1));
            Inject(c.fault, kS1);
        });
        link.SendCommandText("#B03"); // the main thread's write
        fault.join();
        EXPECT_TRUE(device->Written().empty());
    }
    EXPECT_EQ(ports.window.Events(), c.events);
    EXPECT_EQ(dataErrorLatched.load(), c.dataError);
}

INSTANTIATE_TEST_SUITE_P(
    EachPipe, UsbLinkFault,
    ::testing::Values(
        FaultCase{"RemovedWhileAnswerReadWaits",
                  kR1,
                  Fault::Remove,
                  {"message:Error WinUsb_ReadPipe in UnitUSB"},
                  false},
        FaultCase{"RemovedWhileFrameReadWaits", kR2, Fault::Remove, {kDataErrorMessage, "save", "end"}, true},
        FaultCase{"RemovedWhileCommandWriteWaits", kS1, Fault::Remove, {kDataErrorMessage, "save"}, true},
        FaultCase{"AnswerPipeStalls", kR1, Fault::Stall, {}, false},
        FaultCase{"FramePipeStalls", kR2, Fault::Stall, {kDataErrorMessage, "save", "end"}, true},
        FaultCase{"CommandPipeStalls", kS1, Fault::Stall, {kDataErrorMessage, "save"}, true}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// The instrument sends a whole answer message of 32 bytes as one packet: the command
// thread reads it as its two 16-byte halves.
TEST_F(UsbLinkUnderUmockdev, AnswerSentAsOnePacketIsReadInTwoHalves) {
    device->Deliver(kR1, test::AnswerBytes("#Z76S-2000KN-77-ABCDEFGH"));
    ASSERT_TRUE(CommandCycleStep(link));
    EXPECT_EQ(deviceParameters.sensorSerial, "S-2000KN-77-ABCDEFGH");
    EXPECT_TRUE(ports.window.Messages().empty());
}

// A transfer shorter than a frame holds no whole frame: its bytes never become samples.
TEST_F(UsbLinkUnderUmockdev, ShortFrameIsDroppedAndTheNextWholeFrameStored) {
    std::array<SampleEntry, kSamplesPerFrame> samples;
    for (int k = 0; k < kSamplesPerFrame; ++k)
        samples[static_cast<std::size_t>(k)] = {'\0', static_cast<std::int16_t>(1000 + k)};
    const auto frame = test::MakeFrame(samples);
    device->Deliver(kR2, test::Bytes(frame.begin(), frame.begin() + 20));
    device->Deliver(kR2, test::Bytes(frame.begin(), frame.end()));
    ASSERT_EQ(store.AcquireFrame(link), AcquireResult::Stored);
    ASSERT_EQ(store.ringWriteIndex.load(), kSamplesPerFrame);
    for (int k = 0; k < kSamplesPerFrame; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(store.sampleRing[static_cast<std::size_t>(k)].rawValue, 1000 + k);
    }
    EXPECT_EQ(link.PartialFramesDropped(), 1u);
    EXPECT_TRUE(ports.window.Messages().empty());
}

} // namespace
} // namespace kantrel
