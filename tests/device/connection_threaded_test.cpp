#include <gtest/gtest.h>

#include <system_error>

#include "core/link_flags.h"
#include "device/command_channel.h"
#include "device/measuring_thread.h"
#include "device/worker_thread.h"
#include "simulated_link.h"

namespace kantrel {
namespace {

class Connection : public test::SimulatedLinkTest {
protected:
    void TearDown() override {
        SimulatedLinkTest::TearDown();
        SetThreadCreator({});
    }
};

TEST_F(Connection, ThreadThatCannotBeCreatedIsReported) {
    struct Case {
        const char* failing;
        bool commandStarted, measuringStarted;
        std::vector<test::Message> messages;
    } cases[] = {
        {"commandData", false, true, {{"Can not create command thread", "Error"}}},
        {"measuringData", true, false, {{"Can not create measuring thread", "Error"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing);
        window.messages.clear();
        const std::string failing = c.failing;
        SetThreadCreator([failing](const char* name, WorkerBody body) {
            if (name == failing)
                throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
            return CreateNamedThread(name, std::move(body));
        });
        const ConnectResult result = Connect(QuietScenario());
        EXPECT_TRUE(result.opened);
        EXPECT_EQ(result.commandThreadStarted, c.commandStarted);
        EXPECT_EQ(result.measuringThreadStarted, c.measuringStarted);
        EXPECT_EQ(CommandThread() != nullptr, c.commandStarted);
        EXPECT_EQ(MeasuringThread() != nullptr, c.measuringStarted);
        EXPECT_EQ(window.Messages(), c.messages);
        EXPECT_TRUE(instrumentConnected); // the connection stays up
        DisconnectInstrument();
    }
}

TEST_F(Connection, WithoutCommandThreadTheReadoutNeverCompletes) {
    SetThreadCreator([](const char* name, WorkerBody body) {
        if (std::string_view(name) == "commandData")
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        return CreateNamedThread(name, std::move(body));
    });
    ASSERT_TRUE(Connect(QuietScenario()).opened);
    // Without the answer reader there is nothing to wait for: tick on the clock alone.
    for (int t = 0; t < 2000; t += 10) {
        clock.Advance(10);
        ports.timers.TickAll();
    }
    EXPECT_FALSE(measData->IsReadoutDone());
    // One command every eleven ticks keeps going out.
    EXPECT_GE(instrument->ReceivedCommands().size(), 14u);
}

TEST_F(Connection, NoInstrumentPresent) {
    sim::Scenario absent = QuietScenario();
    absent.present = false;
    const ConnectResult result = Connect(absent);
    EXPECT_FALSE(result.opened);
    EXPECT_EQ(CommandThread(), nullptr);
    EXPECT_EQ(MeasuringThread(), nullptr);
    EXPECT_TRUE(window.Messages().empty());
}

TEST_F(Connection, GuardedCommandWaitsForTheCommandThreadsNextRead) {
    ASSERT_TRUE(Connect(QuietScenario()).opened);
    ASSERT_TRUE(RunUntilDisplayStarts(2000));
    const auto before = instrument->ReceivedCommands().size();
    ButtonGetFirmwareClick();
    ButtonGetFirmwareClick();
    EXPECT_EQ(instrument->ReceivedCommands().size(), before + 1);
    Step(); // the answer is read and the slot freed
    ButtonGetFirmwareClick();
    EXPECT_EQ(instrument->ReceivedCommands().size(), before + 2);
    Step();
    std::lock_guard lock(window.mutex);
    EXPECT_EQ(window.firmwareTexts.size(), 3u); // the readout's and the two clicks'
}

TEST_F(Connection, WorkerThreadsCarryTheirNames) {
    std::vector<std::string> names;
    SetThreadCreator([&names](const char* name, WorkerBody body) {
        names.emplace_back(name);
        return CreateNamedThread(name, [body = std::move(body)](std::stop_token stop) {
            char own[16] = {};
            pthread_getname_np(pthread_self(), own, sizeof own);
            EXPECT_TRUE(std::string_view(own) == "commandData" || std::string_view(own) == "measuringData")
                << own;
            body(std::move(stop));
        });
    });
    ASSERT_TRUE(Connect(QuietScenario()).opened);
    EXPECT_EQ(names, (std::vector<std::string>{"commandData", "measuringData"}));
}

} // namespace
} // namespace kantrel
