#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/link_flags.h"
#include "device/command_channel.h"
#include "device/readout.h"
#include "device/scripted_transport.h"
#include "device/unit_usb.h"
#include "measure/meas_data.h"
#include "support/fake_ports.h"

namespace kantrel {
namespace {

class ReadoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        unitUsb().SetTransport(&transport);
        ASSERT_TRUE(unitUsb().OpenUsbLink());
        store = std::make_unique<TMeasData>(100);
        instrumentConnected = true;
    }
    void TearDown() override {
        unitUsb().CloseUsbLink();
        unitUsb().SetTransport(nullptr);
    }

    // The commands written so far, one per pair of packets.
    std::vector<std::string> Sent() const {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i + 1 < transport.written.size(); i += 2) {
            const auto& bytes = transport.written[i].bytes;
            texts.emplace_back(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
        }
        return texts;
    }
    // Ticks the store's timer; returns the command sent by this tick, if any.
    std::string Tick() {
        const auto before = Sent().size();
        ports.timers.TickAll();
        const auto sent = Sent();
        return sent.size() > before ? sent.back() : std::string();
    }
    // An instrument that answers every command before the next tick, except `silent`.
    void AnswerLast(const std::string& command, std::string_view silent = {}) {
        commandPending = false;
        if (command == silent)
            return;
        for (int i = 0; i < kReadoutAnswerCount; ++i)
            if (kReadoutAnswerCodes[static_cast<std::size_t>(i)] == command)
                answerReceived[static_cast<std::size_t>(i)] = true;
    }
    void SkipStartDelay() { readoutDelayTicks = kReadoutStartDelayTicks; }

    test::PortsScope ports;
    test::ScriptedTransport transport;
    std::unique_ptr<TMeasData> store;
};

TEST_F(ReadoutTest, DisconnectedTickDoesNothingAtAll) {
    instrumentConnected = false;
    for (int i = 0; i < 100; ++i)
        Tick();
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(readoutDelayTicks, 0);
    EXPECT_EQ(readoutRetryTicks, 0);
}

TEST_F(ReadoutTest, TwentySixthConnectedTickIsTheFirstThatSends) {
    for (int i = 1; i <= 25; ++i)
        EXPECT_EQ(Tick(), "") << "tick " << i;
    EXPECT_EQ(Tick(), "#I05");
    EXPECT_TRUE(commandPending);
}

TEST_F(ReadoutTest, StartDelayIsCountedOncePerProcess) {
    for (int i = 0; i < 26; ++i)
        Tick();
    store = std::make_unique<TMeasData>(100); // a new connection
    EXPECT_EQ(Tick(), "#Y00");                // continues at the current step, no delay
}

TEST_F(ReadoutTest, EleventhTickWithoutAnswerFreesTheSlot) {
    SkipStartDelay();
    ASSERT_EQ(Tick(), "#I05");
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(Tick(), "") << "tick " << i;
    EXPECT_EQ(Tick(), "#Y00");
}

TEST_F(ReadoutTest, AnsweringInstrumentCompletesInOnePass) {
    SkipStartDelay();
    for (std::size_t step = 0; step < kReadoutCommands.size(); ++step) {
        const std::string sent = Tick();
        ASSERT_EQ(sent, kReadoutCommands[step]);
        AnswerLast(sent);
    }
    EXPECT_FALSE(store->readoutDone);
    EXPECT_EQ(Tick(), ""); // the check at step 22
    EXPECT_TRUE(store->readoutDone);
    EXPECT_EQ(store->readoutTimer, nullptr);
    EXPECT_TRUE(ports.timers.live.empty()); // released from its own tick, freed after it
    EXPECT_FALSE(commandPending);
    EXPECT_EQ(ports.window.tensologKeys, std::vector<bool>{true});
    EXPECT_EQ(ports.window.readoutControlsEnabled, 1);
    EXPECT_EQ(readoutStep, 0);
}

TEST_F(ReadoutTest, MissingAnswerRepeatsTheWholeSequence) {
    SkipStartDelay();
    for (int pass = 0; pass < 3; ++pass) {
        SCOPED_TRACE("pass " + std::to_string(pass));
        std::vector<std::string> sent;
        while (sent.size() < kReadoutCommands.size()) {
            const std::string command = Tick();
            if (command.empty())
                continue;
            sent.push_back(command);
            AnswerLast(command, "#Z63");
        }
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), kReadoutCommands.begin())); // "#A13" included
        // The check finds "#Z63" missing and keeps the slot: nothing for ten ticks.
        EXPECT_EQ(Tick(), "");
        EXPECT_TRUE(commandPending);
        for (int i = 0; i < 10; ++i)
            EXPECT_EQ(Tick(), "");
        EXPECT_FALSE(store->readoutDone);
    }
    EXPECT_NE(store->readoutTimer, nullptr);
    EXPECT_TRUE(ports.window.tensologKeys.empty());
}

TEST_F(ReadoutTest, AnswersSeenOnceInTheProcessCompleteALaterReadout) {
    for (auto& flag : answerReceived)
        flag = true;
    SkipStartDelay();
    for (std::size_t i = 0; i < kReadoutCommands.size(); ++i) {
        Tick();
        commandPending = false; // only idle substitutes come back
    }
    Tick();
    EXPECT_TRUE(store->readoutDone);
}

} // namespace
} // namespace kantrel
