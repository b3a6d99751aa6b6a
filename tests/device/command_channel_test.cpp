#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/link_flags.h"
#include "device/command_channel.h"
#include "device/device_parameters.h"
#include "device/scripted_transport.h"
#include "device/unit_usb.h"
#include "support/fake_ports.h"

namespace kantrel {
namespace {

using test::AnswerBytes;
using test::kR1;
using test::kS1;

AnswerBuffer Answer(std::string_view codeAndPayload) {
    AnswerBuffer buffer{};
    const auto bytes = AnswerBytes(codeAndPayload);
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return buffer;
}

bool Received(int index) {
    return answerReceived[static_cast<std::size_t>(index)].load();
}

TEST(StoreAnswer, DispatchesEveryReadoutAnswer) {
    struct Case {
        std::string_view answer;
        int index;
        std::uint32_t bit;
        std::function<bool()> stored;
    } cases[] = {
        {"#Z162000.0", 2, 0x2, [] { return deviceParameters.fullScale == 2000.0; }},
        {"#Z17-1,5", 3, 0x1, [] { return deviceParameters.scaleOffset == -1.5; }},
        {"#Z18D731-4711", 4, 0x4, [] { return deviceParameters.deviceSerial == "D731-4711"; }},
        {"#Z61500", 5, 0x40, [] { return deviceParameters.nominalValue == 500.0; }},
        {"#Z62-2.7", 6, 0x80, [] { return deviceParameters.param62 == -2; }},
        {"#Z6399.9", 7, 0x100, [] { return deviceParameters.param63 == 99; }},
        {"#Z6410", 8, 0x200, [] { return deviceParameters.calOutput[0] == 10.0; }},
        {"#Z6511", 9, 0x400, [] { return deviceParameters.calInput[0] == 11.0; }},
        {"#Z6612", 10, 0x800, [] { return deviceParameters.calOutput[1] == 12.0; }},
        {"#Z6713", 11, 0x1000, [] { return deviceParameters.calInput[1] == 13.0; }},
        {"#Z6814", 12, 0x2000, [] { return deviceParameters.calOutput[2] == 14.0; }},
        {"#Z6915", 13, 0x4000, [] { return deviceParameters.calInput[2] == 15.0; }},
        {"#Z7016", 14, 0x8000, [] { return deviceParameters.calOutput[3] == 16.0; }},
        {"#Z7117", 15, 0x10000, [] { return deviceParameters.calInput[3] == 17.0; }},
        {"#Z7218", 16, 0x20000, [] { return deviceParameters.calOutput[4] == 18.0; }},
        {"#Z7319", 17, 0x40000, [] { return deviceParameters.calInput[4] == 19.0; }},
        {"#Z743", 18, 0x80000, [] { return deviceParameters.calPointCount == 3; }},
        {"#Z75kN", 19, 0x100000, [] { return deviceParameters.unitText == "kN"; }},
        {"#Z76S-99", 20, 0x200000, [] { return deviceParameters.sensorSerial == "S-99"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.answer));
        test::PortsScope ports;
        answerReceived[static_cast<std::size_t>(c.index)] = false;
        StoreAnswer(Answer(c.answer));
        EXPECT_TRUE(c.stored());
        EXPECT_EQ(readoutMask.load(), c.bit);
        EXPECT_TRUE(Received(c.index));
    }
}

TEST(StoreAnswer, FirmwareAndErrorTextsGoToTheWindow) {
    test::PortsScope ports;
    StoreAnswer(Answer("#I05Tensolog 2.1"));
    StoreAnswer(Answer("#Y00E3 overload"));
    EXPECT_EQ(ports.window.firmwareTexts, std::vector<std::string>{"Tensolog 2.1"});
    EXPECT_EQ(ports.window.deviceErrorTexts, std::vector<std::string>{"E3 overload"});
    EXPECT_TRUE(Received(0));
    EXPECT_TRUE(Received(1));
    EXPECT_EQ(readoutMask.load(), 0u);
}

TEST(StoreAnswer, FieldLimitsAndOddPayloads) {
    struct Case {
        std::string_view answer;
        std::function<bool()> stored;
    } cases[] = {
        {"#Z18ABCDEFGHIJKLMNOPQRSTUVWXY",
         [] { return deviceParameters.deviceSerial == "ABCDEFGHIJKLMNOPQRST"; }},
        {"#Z747", [] { return deviceParameters.calPointCount == 7; }},
        {"#Z74", [] { return deviceParameters.calPointCount == 208; }}, // empty: 0 - '0'
        {"#Z16none", [] { return deviceParameters.fullScale == 0.0 && (readoutMask.load() & 0x2) != 0; }},
        // beyond int32: held at the end, no overflow
        {"#Z621e12", [] { return deviceParameters.param62 == 2147483647; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.answer));
        test::PortsScope ports;
        deviceParameters.fullScale = 7.0;
        StoreAnswer(Answer(c.answer));
        EXPECT_TRUE(c.stored());
    }
}

// The main thread reads a parameter without a lock once its bit is set; an answer that
// comes again in the same connection (a repeated readout pass) leaves it alone. A new
// connection clears the mask, and the parameter is stored afresh.
TEST(StoreAnswer, ParameterIsStoredOncePerConnection) {
    test::PortsScope ports;
    StoreAnswer(Answer("#Z162000"));
    StoreAnswer(Answer("#Z76S-1"));
    StoreAnswer(Answer("#Z163000"));
    StoreAnswer(Answer("#Z76S-2"));
    EXPECT_EQ(deviceParameters.fullScale, 2000.0);
    EXPECT_EQ(deviceParameters.sensorSerial, "S-1");
    EXPECT_TRUE(Received(2));

    readoutMask = 0; // what a new connection does
    StoreAnswer(Answer("#Z163000"));
    EXPECT_EQ(deviceParameters.fullScale, 3000.0);
    EXPECT_EQ(readoutMask.load(), 0x2u);
}

std::string Repeat(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// The instrument's texts are single bytes in its code page, Windows-1252; the program
// keeps text in UTF-8. Field limits count the bytes as the instrument sent them.
TEST(StoreAnswer, InstrumentTextsAreDecodedFromWindows1252) {
    const auto unit = [](const test::FakeWindow&) { return deviceParameters.unitText; };
    struct Case {
        std::string answer;
        std::function<std::string(const test::FakeWindow&)> stored;
        std::string expected;
    } cases[] = {
        {"#Z75\xB5m", unit, "\u00B5m"},
        {"#Z75" + Repeat("\xB5", 10), unit, Repeat("\u00B5", 8)},
        {"#Z18" + Repeat("\xE9", 22), [](const auto&) { return deviceParameters.deviceSerial; },
         Repeat("\u00E9", 20)},
        {"#Z76S-\xA7\x80", [](const auto&) { return deviceParameters.sensorSerial; }, "S-\u00A7\u20AC"},
        {"#I05T\xE4st 1.0", [](const auto& w) { return w.firmwareTexts.at(0); }, "T\u00E4st 1.0"},
        {"#Y00\xDC"
         "berlast",
         [](const auto& w) { return w.deviceErrorTexts.at(0); }, "\u00DCberlast"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        test::PortsScope ports;
        StoreAnswer(Answer(c.answer));
        EXPECT_EQ(c.stored(ports.window), c.expected);
    }
}

TEST(StoreAnswer, OtherCodesChangeNothing) {
    test::PortsScope ports;
    deviceParameters.fullScale = 7.0;
    for (std::string_view other : {"#NOP", "#z162000", "#A03", "#Y01", "#B03", "XXXX1"}) {
        SCOPED_TRACE(std::string(other));
        StoreAnswer(Answer(other));
    }
    EXPECT_EQ(deviceParameters.fullScale, 7.0);
    EXPECT_EQ(readoutMask.load(), 0u);
    for (int i = 0; i < kReadoutAnswerCount; ++i)
        EXPECT_FALSE(Received(i));
    EXPECT_TRUE(ports.window.firmwareTexts.empty());
}

class CommandCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(link.OpenUsbLink());
        instrumentConnected = true;
        commandPending = true;
    }
    test::PortsScope ports;
    test::ScriptedTransport transport;
    UnitUSB link{&transport};
};

TEST_F(CommandCycleTest, OnePacketAnswerIsStoredWithoutSecondRead) {
    transport.Push(kR1, TransferOutcome::CompletedAtOnce, AnswerBytes("#Z162000.0"));
    EXPECT_TRUE(CommandCycleStep(link));
    EXPECT_EQ(deviceParameters.fullScale, 2000.0);
    EXPECT_TRUE(Received(2));
    EXPECT_EQ(transport.Transfers(kR1), 1);
    EXPECT_FALSE(commandPending);
}

TEST_F(CommandCycleTest, AnswerWithoutEndMarkReadsTheSecondPacket) {
    const auto bytes = AnswerBytes("#Z18SERIAL-0123456789"); // 21 characters + zero + mark
    transport.Push(kR1, TransferOutcome::CompletedAtOnce, {bytes.begin(), bytes.begin() + 16});
    transport.Push(kR1, TransferOutcome::CompletedAfterWait, {bytes.begin() + 16, bytes.end()});
    EXPECT_TRUE(CommandCycleStep(link));
    EXPECT_EQ(transport.Transfers(kR1), 2);
    EXPECT_EQ(deviceParameters.deviceSerial, "SERIAL-0123456789");
}

// A time-out on the second packet puts "#NOP" into bytes 16..21; the first packet's text
// still counts.
TEST_F(CommandCycleTest, SecondPacketTimeOutStillStoresTheFirst) {
    const std::vector<std::uint8_t> first = {'#', 'I', '0', '5', 'F', 'i', 'r', 'm',
                                             'w', 'a', 'r', 'e', 'X', 'Y', 'Z', 'W'};
    transport.Push(kR1, TransferOutcome::CompletedAtOnce, first);
    transport.Push(kR1, TransferOutcome::NotCompleted);
    EXPECT_TRUE(CommandCycleStep(link));
    ASSERT_EQ(ports.window.firmwareTexts.size(), 1u);
    EXPECT_EQ(ports.window.firmwareTexts[0], "FirmwareXYZW#NOP\u00A7"); // the mark, read as Windows-1252
    EXPECT_FALSE(commandPending);
}

TEST_F(CommandCycleTest, IdleSubstituteOnlyReleasesTheSlot) {
    transport.Push(kR1, TransferOutcome::NotCompleted);
    EXPECT_TRUE(CommandCycleStep(link));
    EXPECT_FALSE(commandPending);
    EXPECT_EQ(readoutMask.load(), 0u);
    EXPECT_EQ(transport.Transfers(kR1), 1);
}

TEST_F(CommandCycleTest, FailedReadEndsThePassAndKeepsTheSlot) {
    transport.Push(kR1, TransferOutcome::Failed);
    EXPECT_FALSE(CommandCycleStep(link));
    EXPECT_TRUE(commandPending);
}

TEST_F(CommandCycleTest, SendCommandJoinsParameterAndTurnsTheFirstComma) {
    SendCommand("#A03"); // through the process's link, which has no transport: nothing is written
    unitUsb().SetTransport(&transport);
    ASSERT_TRUE(unitUsb().OpenUsbLink());
    SendCommand("#Z16", "1,5,0");
    ASSERT_EQ(transport.written.size(), 2u);
    const CommandBlock expected = BuildCommandMessage("#Z161.5,0").block;
    EXPECT_EQ(transport.written[0].bytes, std::vector<std::uint8_t>(expected.begin(), expected.begin() + 16));
    unitUsb().SetTransport(nullptr);
}

} // namespace
} // namespace kantrel
