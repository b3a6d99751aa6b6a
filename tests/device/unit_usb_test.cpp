#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/link_flags.h"
#include "device/scripted_transport.h"
#include "device/unit_usb.h"
#include "measure/meas_data.h"
#include "support/fake_ports.h"

namespace kantrel {
namespace {

using test::kR1;
using test::kR2;
using test::kS1;
using test::Message;
using Outcome = TransferOutcome;

enum class Role { R1, R2, S1 };

const char* RoleName(Role r) {
    return r == Role::R1 ? "R1" : r == Role::R2 ? "R2" : "S1";
}

class UnitUsbTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetProcessEndHook([this] {
            std::lock_guard lock(ports.window.mutex);
            ports.window.events.push_back("end");
        });
        ASSERT_TRUE(link.OpenUsbLink());
        instrumentConnected = true;
    }
    void TearDown() override { SetProcessEndHook({}); }

    // One transfer of the role; for S1 the result tells whether a packet went out.
    bool Attempt(Role role) {
        if (role == Role::R1) {
            std::array<std::uint8_t, 16> packet{};
            return link.ReadAnswerPacket(packet);
        }
        if (role == Role::R2) {
            std::array<std::uint8_t, 32> frame{};
            return link.ReadMeasurementFrame(frame);
        }
        const auto before = transport.written.size();
        const std::array<std::uint8_t, 16> packet{'#', 'A', '0', '3', 0, 0xA7};
        link.WriteCommandPacket(packet);
        return transport.written.size() > before;
    }
    std::vector<Message> TakeMessages() {
        std::lock_guard lock(ports.window.mutex);
        return std::exchange(ports.window.messages, {});
    }

    test::PortsScope ports;
    test::ScriptedTransport transport;
    UnitUSB link{&transport};
};

std::uint8_t PipeOf(Role r) {
    return r == Role::R1 ? kR1 : r == Role::R2 ? kR2 : kS1;
}

// Every row of the link's failure table, tried twice to show what is reported once.
TEST_F(UnitUsbTest, FailureTable) {
    const Message r2DataError{"Data error, save data and repower device", "WARNING"};
    const Message s1DataError{"Data error, save data and repower device", "ERROR"};
    struct Case {
        const char* situation;
        Role role;
        std::function<void(test::ScriptedTransport&)> arrange;
        bool firstResult, secondResult; // S1: whether a packet went out
        std::vector<Message> firstMessages, secondMessages;
        int transfers;
        bool dataError;
        int saves;
        bool ended;
    };
    const auto failWait = [](std::uint8_t pipe) {
        return [pipe](test::ScriptedTransport& t) { t.failCompletionWait.insert(pipe); };
    };
    const auto failTimeout = [](std::uint8_t pipe) {
        return [pipe](test::ScriptedTransport& t) { t.failPipeTimeout.insert(pipe); };
    };
    const auto outcome = [](std::uint8_t pipe, Outcome o) {
        return [pipe, o](test::ScriptedTransport& t) {
            t.Push(pipe, o);
            t.Push(pipe, o);
        };
    };
    const Case cases[] = {
        {"R1 event not created",
         Role::R1,
         failWait(kR1),
         false,
         false,
         {{"R1: Can not Create Event in UnitUSB", "Error"}},
         {},
         0,
         false,
         0,
         false},
        {"R1 time-out not set",
         Role::R1,
         failTimeout(kR1),
         false,
         false,
         {{"R1: Can not set TimeOut in UnitUSB", "Error"}},
         {},
         0,
         false,
         0,
         false},
        {"R1 completes at once",
         Role::R1,
         outcome(kR1, Outcome::CompletedAtOnce),
         true,
         true,
         {},
         {},
         2,
         false,
         0,
         false},
        {"R1 completes after waiting",
         Role::R1,
         outcome(kR1, Outcome::CompletedAfterWait),
         true,
         true,
         {},
         {},
         2,
         false,
         0,
         false},
        {"R1 times out",
         Role::R1,
         outcome(kR1, Outcome::NotCompleted),
         true,
         true,
         {},
         {},
         2,
         false,
         0,
         false},
        {"R1 read error",
         Role::R1,
         outcome(kR1, Outcome::Failed),
         false,
         false,
         {{"Error WinUsb_ReadPipe in UnitUSB", "WARNING"}},
         {{"Error WinUsb_ReadPipe in UnitUSB", "WARNING"}},
         2,
         false,
         0,
         false},
        {"R2 event not created",
         Role::R2,
         failWait(kR2),
         false,
         false,
         {{"R2: Can not Create Event in UnitUSB", "Error"}},
         {},
         0,
         false,
         0,
         false},
        {"R2 time-out not set",
         Role::R2,
         failTimeout(kR2),
         false,
         false,
         {{"R2: Can not set TimeOut in UnitUSB", "Error"}},
         {},
         0,
         false,
         0,
         false},
        {"R2 completes after waiting",
         Role::R2,
         outcome(kR2, Outcome::CompletedAfterWait),
         true,
         true,
         {},
         {},
         2,
         false,
         0,
         false},
        {"R2 times out",
         Role::R2,
         outcome(kR2, Outcome::NotCompleted),
         false,
         false,
         {r2DataError},
         {},
         1,
         true,
         1,
         true},
        {"R2 read error",
         Role::R2,
         outcome(kR2, Outcome::Failed),
         false,
         false,
         {{"R2: Error WinUsb_ReadPipe in UnitUSB", "WARNING"}},
         {{"R2: Error WinUsb_ReadPipe in UnitUSB", "WARNING"}},
         2,
         false,
         0,
         false},
        {"S1 event not created",
         Role::S1,
         failWait(kS1),
         false,
         false,
         {{"S1: Can not Create Event in UnitUSB", "Error"}},
         {},
         0,
         false,
         0,
         false},
        // The first time the write is abandoned; with the latch set it goes out anyway.
        {"S1 time-out not set",
         Role::S1,
         failTimeout(kS1),
         false,
         true,
         {{"S1: Can not set TimeOut in UnitUSB", "Error"}},
         {},
         1,
         false,
         0,
         false},
        {"S1 completes",
         Role::S1,
         outcome(kS1, Outcome::CompletedAtOnce),
         true,
         true,
         {},
         {},
         2,
         false,
         0,
         false},
        {"S1 times out",
         Role::S1,
         outcome(kS1, Outcome::NotCompleted),
         true,
         false,
         {s1DataError},
         {},
         1,
         true,
         1,
         false},
        {"S1 write error",
         Role::S1,
         outcome(kS1, Outcome::Failed),
         true,
         true,
         {{"S1: Error WinUsb_WritePipe in UnitUSB", "WARNING"}},
         {{"S1: Error WinUsb_WritePipe in UnitUSB", "WARNING"}},
         2,
         false,
         0,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        test::PortsScope scope;
        test::ScriptedTransport t;
        UnitUSB fresh(&t);
        ASSERT_TRUE(fresh.OpenUsbLink());
        instrumentConnected = true;
        std::vector<std::string> ends;
        SetProcessEndHook([&] { ends.push_back("end"); });
        c.arrange(t);

        std::array<std::uint8_t, 32> buffer{};
        const auto attempt = [&] {
            if (c.role == Role::R1)
                return fresh.ReadAnswerPacket(std::span(buffer).first<16>());
            if (c.role == Role::R2)
                return fresh.ReadMeasurementFrame(buffer);
            const auto before = t.written.size();
            fresh.WriteCommandPacket(std::span<const std::uint8_t, 32>(buffer).first<16>());
            return t.written.size() > before;
        };
        EXPECT_EQ(attempt(), c.firstResult);
        EXPECT_EQ(scope.window.Messages(), c.firstMessages);
        scope.window.messages.clear();
        EXPECT_EQ(attempt(), c.secondResult);
        EXPECT_EQ(scope.window.Messages(), c.secondMessages);
        EXPECT_EQ(t.Transfers(PipeOf(c.role)), c.transfers);
        EXPECT_EQ(dataErrorLatched.load(), c.dataError);
        EXPECT_EQ(scope.window.saves, c.saves);
        EXPECT_EQ(ends.size(), c.ended ? 1u : 0u);
    }
}

TEST_F(UnitUsbTest, TransfersSetTheirPipeTimeOutAndWait) {
    struct Case {
        Role role;
        int timeoutMs, waitMs;
    } cases[] = {{Role::R1, 1000, 2000}, {Role::R2, 750, 750}, {Role::S1, 1500, 1500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(RoleName(c.role));
        Attempt(c.role);
        EXPECT_EQ(transport.timeouts[PipeOf(c.role)], c.timeoutMs);
        EXPECT_EQ(transport.waits[PipeOf(c.role)], c.waitMs);
    }
}

TEST_F(UnitUsbTest, AnswerTimeOutGivesNopAndKeepsBytesSixToFifteen) {
    transport.Push(kR1, Outcome::NotCompleted);
    std::array<std::uint8_t, 16> packet;
    for (std::size_t i = 0; i < packet.size(); ++i)
        packet[i] = static_cast<std::uint8_t>(0xB0 + i);
    ASSERT_TRUE(link.ReadAnswerPacket(packet));
    const std::array<std::uint8_t, 16> expected = {0x23, 0x4E, 0x4F, 0x50, 0xA7, 0x00, 0xB6, 0xB7,
                                                   0xB8, 0xB9, 0xBA, 0xBB, 0xBC, 0xBD, 0xBE, 0xBF};
    EXPECT_EQ(packet, expected);
}

TEST_F(UnitUsbTest, AnswerTimeOutLatchKeepsFailingAfterThePipeRecovers) {
    transport.failPipeTimeout.insert(kR1);
    EXPECT_FALSE(Attempt(Role::R1));
    transport.failPipeTimeout.clear();
    EXPECT_FALSE(Attempt(Role::R1));
    EXPECT_EQ(transport.Transfers(kR1), 0);
    EXPECT_EQ(TakeMessages().size(), 1u);
}

TEST_F(UnitUsbTest, CommandPipeEventAndTimeOutShareOneLatch) {
    transport.failCompletionWait.insert(kS1);
    EXPECT_FALSE(Attempt(Role::S1));
    transport.failCompletionWait.clear();
    transport.failPipeTimeout.insert(kS1);
    EXPECT_TRUE(Attempt(Role::S1)); // latch set: the write goes out with the pipe's old time-out
    EXPECT_EQ(TakeMessages(), (std::vector<Message>{{"S1: Can not Create Event in UnitUSB", "Error"}}));
}

TEST_F(UnitUsbTest, MeasurementTimeOutRunsMessageSaveEndInThatOrder) {
    transport.Push(kR2, Outcome::NotCompleted);
    EXPECT_FALSE(Attempt(Role::R2));
    EXPECT_EQ(ports.window.Events(),
              (std::vector<std::string>{"message:Data error, save data and repower device", "save", "end"}));
}

// After a command-write time-out the program goes on: answers are still read, but the
// measurement read and further writes are refused.
// A measurement transfer shorter than a frame holds no whole frame: it is dropped and
// counted, and the read goes on with the next transfer.
TEST_F(UnitUsbTest, ShortMeasurementTransfersAreDroppedAndCounted) {
    const std::vector<std::uint8_t> whole(32, 0x5A);
    const std::vector<std::uint8_t> partial(20, 0x11);
    struct Case {
        const char* situation;
        std::vector<test::ScriptedTransport::Step> steps;
        bool read;
        std::uint64_t dropped;
        std::vector<Message> messages;
    } cases[] = {
        {"short, then whole",
         {{Outcome::CompletedAtOnce, partial, 20}, {Outcome::CompletedAtOnce, whole, {}}},
         true,
         1,
         {}},
        {"empty packet, then whole",
         {{Outcome::CompletedAtOnce, {}, 0}, {Outcome::CompletedAfterWait, whole, {}}},
         true,
         0,
         {}},
        {"two short, then whole",
         {{Outcome::CompletedAtOnce, partial, 20},
          {Outcome::CompletedAtOnce, partial, 31},
          {Outcome::CompletedAtOnce, whole, {}}},
         true,
         2,
         {}},
        {"short, then nothing more",
         {{Outcome::CompletedAtOnce, partial, 20}, {Outcome::NotCompleted, {}, {}}},
         false,
         1,
         {{"Data error, save data and repower device", "WARNING"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        test::PortsScope scope;
        test::ScriptedTransport t;
        UnitUSB fresh(&t);
        ASSERT_TRUE(fresh.OpenUsbLink());
        instrumentConnected = true;
        SetProcessEndHook([] {});
        for (const auto& step : c.steps)
            t.Push(kR2, step.outcome, step.bytes, step.length);
        std::array<std::uint8_t, 32> frame{};
        EXPECT_EQ(fresh.ReadMeasurementFrame(frame), c.read);
        if (c.read) {
            EXPECT_EQ(std::vector<std::uint8_t>(frame.begin(), frame.end()), whole);
        }
        EXPECT_EQ(fresh.PartialFramesDropped(), c.dropped);
        EXPECT_EQ(t.Transfers(kR2), static_cast<int>(c.steps.size()));
        EXPECT_EQ(scope.window.Messages(), c.messages);
    }
}

TEST_F(UnitUsbTest, CommandTimeOutStopsMeasuringButNotAnswers) {
    transport.Push(kS1, Outcome::NotCompleted);
    Attempt(Role::S1);
    EXPECT_TRUE(dataErrorLatched);
    EXPECT_EQ(ports.window.Events(),
              (std::vector<std::string>{"message:Data error, save data and repower device", "save"}));
    EXPECT_TRUE(Attempt(Role::R1));
    EXPECT_FALSE(Attempt(Role::R2));
    EXPECT_FALSE(Attempt(Role::S1));
    EXPECT_EQ(transport.Transfers(kR2), 0);
}

TEST_F(UnitUsbTest, RefusalsMakeNoTransferAndShowNothing) {
    TMeasData store(1);
    measData = &store;
    struct Case {
        const char* state;
        bool connected, connectionLost, dataError;
        bool answerRead, measurementRead, commandWrite;
    } cases[] = {
        {"connected", true, false, false, true, true, true},
        {"not connected", false, false, false, false, false, false},
        {"connection lost", true, true, false, false, false, false},
        {"data error latched", true, false, true, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        test::ScriptedTransport t;
        UnitUSB fresh(&t);
        ASSERT_TRUE(fresh.OpenUsbLink());
        instrumentConnected = c.connected;
        store.connectionLost = c.connectionLost;
        dataErrorLatched = c.dataError;
        std::array<std::uint8_t, 32> buffer{};
        EXPECT_EQ(fresh.ReadAnswerPacket(std::span(buffer).first<16>()), c.answerRead);
        EXPECT_EQ(fresh.ReadMeasurementFrame(buffer), c.measurementRead);
        fresh.WriteCommandPacket(std::span<const std::uint8_t, 32>(buffer).first<16>());
        EXPECT_EQ(t.Transfers(kR1), c.answerRead ? 1 : 0);
        EXPECT_EQ(t.Transfers(kR2), c.measurementRead ? 1 : 0);
        EXPECT_EQ(t.Transfers(kS1), c.commandWrite ? 1 : 0);
    }
    EXPECT_TRUE(ports.window.Messages().empty());
    measData = nullptr;
}

// A transfer that ends because the link is being taken down is part of the disconnect:
// no warning, and above all no data error that would end the program.
TEST_F(UnitUsbTest, TransferEndingDuringDisconnectIsNoFault) {
    transport.onTransfer = [](std::uint8_t) { instrumentConnected = false; };
    struct Case {
        Role role;
        Outcome outcome;
    } cases[] = {{Role::R1, Outcome::Failed}, {Role::R2, Outcome::Failed}, {Role::R2, Outcome::NotCompleted}};
    for (const Case& c : cases) {
        SCOPED_TRACE(RoleName(c.role));
        instrumentConnected = true;
        transport.Push(PipeOf(c.role), c.outcome);
        EXPECT_FALSE(Attempt(c.role));
    }
    EXPECT_TRUE(ports.window.Messages().empty());
    EXPECT_FALSE(dataErrorLatched);
    EXPECT_EQ(ports.window.saves, 0);
}

// Timers keep ticking while a message box is open; a write that fails again meanwhile
// must not stack a second box on the first.
TEST_F(UnitUsbTest, WriteErrorWhileItsBoxIsOpenShowsNoSecondBox) {
    transport.emptyOutcome = Outcome::Failed;
    int nested = 0;
    ports.window.onMessage = [&](const Message&) {
        if (nested++ == 0)
            Attempt(Role::S1);
    };
    Attempt(Role::S1);
    Attempt(Role::S1);
    EXPECT_EQ(TakeMessages().size(), 2u); // one per separate failure, none nested
    EXPECT_EQ(transport.Transfers(kS1), 3);
}

TEST_F(UnitUsbTest, SendCommandTextWritesBothHalvesOfTheBlock) {
    struct Case {
        std::string text;
        bool tooLong;
    } cases[] = {{"#A03", false}, {"", false}, {std::string(30, 'q'), false}, {std::string(31, 'q'), true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        transport.written.clear();
        std::size_t messagesAtFirstWrite = 99;
        transport.onTransfer = [&](std::uint8_t) {
            if (messagesAtFirstWrite == 99)
                messagesAtFirstWrite = ports.window.Messages().size();
        };
        link.SendCommandText(c.text);
        const CommandBlock block = BuildCommandMessage(c.text).block;
        ASSERT_EQ(transport.written.size(), 2u);
        EXPECT_EQ(transport.written[0].bytes, std::vector<std::uint8_t>(block.begin(), block.begin() + 16));
        EXPECT_EQ(transport.written[1].bytes, std::vector<std::uint8_t>(block.begin() + 16, block.end()));
        const auto messages = TakeMessages();
        EXPECT_EQ(messages.size(), c.tooLong ? 1u : 0u);
        if (c.tooLong) {
            EXPECT_EQ(messages[0], (Message{"Command String too long, cut", "WARNING"}));
            EXPECT_EQ(messagesAtFirstWrite, 1u); // shown before sending
        }
    }
}

TEST(UnitUsbOpen, OpenOutcomesAndTheirMessages) {
    struct Case {
        const char* situation;
        OpenResult open;
        bool pipesListed;
        bool opened;
        std::vector<Message> messages;
    } cases[] = {
        {"opened", {OpenResult::Status::Opened, {}}, true, true, {}},
        {"no instrument", {OpenResult::Status::NotFound, {}}, true, false, {}},
        {"device list fails",
         {OpenResult::Status::DeviceListFailed, {}},
         true,
         false,
         {{"Invalid Device Handle", "Error"}}},
        {"device in use", {OpenResult::Status::InUse, {}}, true, false, {{"device in use?", "Error"}}},
        {"no permission",
         {OpenResult::Status::InUse, "Add a udev rule."},
         true,
         false,
         {{"device in use?\n\nAdd a udev rule.", "Error"}}},
        {"endpoints cannot be listed", {OpenResult::Status::Opened, {}}, false, false, {}},
        {"a device like it that cannot be opened",
         {OpenResult::Status::NotFound, "A USB device that looks like the Tensolog ..."},
         true,
         false,
         {{"A USB device that looks like the Tensolog ...", "WARNING"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        test::PortsScope ports;
        test::ScriptedTransport t;
        t.openResult = c.open;
        if (!c.pipesListed)
            t.pipes.reset();
        UnitUSB link(&t);
        EXPECT_EQ(link.OpenUsbLink(), c.opened);
        EXPECT_EQ(ports.window.Messages(), c.messages);
    }
}

TEST(UnitUsbOpen, DeviceThatCannotBeOpenedIsNamedOnce) {
    test::PortsScope ports;
    test::ScriptedTransport t;
    t.openResult = {OpenResult::Status::NotFound, "Run kantrel731 --udev-rule 1234:5678 --install."};
    UnitUSB link(&t);
    EXPECT_FALSE(link.OpenUsbLink());
    EXPECT_FALSE(link.OpenUsbLink());
    EXPECT_EQ(t.opens, 2);
    EXPECT_EQ(ports.window.Messages(),
              (std::vector<Message>{{"Run kantrel731 --udev-rule 1234:5678 --install.", "WARNING"}}));
}

TEST(UnitUsbOpen, NoTransportMeansNotFound) {
    test::PortsScope ports;
    UnitUSB link;
    EXPECT_FALSE(link.OpenUsbLink());
}

TEST(UnitUsbOpen, PipeRolesByTypeDirectionAndIndex) {
    using P = PipeInfo;
    const auto bulk = PipeType::Bulk;
    struct Case {
        const char* layout;
        std::vector<PipeInfo> pipes;
        bool opened;
        std::uint8_t s1, r1, r2, interrupt;
    } cases[] = {
        {"out 0, in 1, in 2",
         {P{bulk, 0x01, 0}, P{bulk, 0x81, 1}, P{bulk, 0x82, 2}},
         true,
         0x01,
         0x81,
         0x82,
         0},
        {"bulk in at 0 and 3 ignored",
         {P{bulk, 0x83, 0}, P{bulk, 0x81, 1}, P{bulk, 0x82, 2}, P{bulk, 0x84, 3}},
         true,
         0,
         0x81,
         0x82,
         0},
        {"later bulk out wins",
         {P{bulk, 0x01, 0}, P{bulk, 0x81, 1}, P{bulk, 0x82, 2}, P{bulk, 0x02, 3}},
         true,
         0x02,
         0x81,
         0x82,
         0},
        {"interrupt kept", {P{PipeType::Interrupt, 0x85, 0}, P{bulk, 0x81, 1}}, true, 0, 0x81, 0, 0x85},
        {"missing roles keep 0", {}, true, 0, 0, 0, 0},
        {"control fails", {P{bulk, 0x01, 0}, P{PipeType::Control, 0x00, 1}}, false, 0x01, 0, 0, 0},
        {"isochronous fails", {P{PipeType::Isochronous, 0x81, 1}, P{bulk, 0x82, 2}}, false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout);
        test::PortsScope ports;
        test::ScriptedTransport t;
        t.pipes = c.pipes;
        UnitUSB link(&t);
        EXPECT_EQ(link.OpenUsbLink(), c.opened);
        EXPECT_EQ(link.State().s1PipeId, c.s1);
        EXPECT_EQ(link.State().r1PipeId, c.r1);
        EXPECT_EQ(link.State().r2PipeId, c.r2);
        EXPECT_EQ(link.State().interruptPipeId, c.interrupt);
    }
}

TEST(UnitUsbOpen, LatchesSurviveCloseAndReopen) {
    test::PortsScope ports;
    test::ScriptedTransport t;
    UnitUSB link(&t);
    ASSERT_TRUE(link.OpenUsbLink());
    instrumentConnected = true;
    t.failCompletionWait.insert(kR1);
    std::array<std::uint8_t, 16> packet{};
    EXPECT_FALSE(link.ReadAnswerPacket(packet));
    link.CloseUsbLink();
    ASSERT_TRUE(link.OpenUsbLink());
    EXPECT_FALSE(link.ReadAnswerPacket(packet));
    EXPECT_EQ(ports.window.Messages().size(), 1u);
    EXPECT_EQ(t.closes, 1);
}

} // namespace
} // namespace kantrel
