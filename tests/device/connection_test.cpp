#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "core/link_flags.h"
#include "device/connection.h"
#include "device/device_parameters.h"
#include "device/scripted_transport.h"
#include "device/unit_usb.h"
#include "measure/meas_data.h"
#include "support/fake_ports.h"

namespace kantrel {
namespace {

class ConnectionTest : public ::testing::Test {
protected:
    void TearDown() override {
        DisconnectInstrument();
        DestroyMeasData();
        SetUsbTransport(nullptr);
    }
    std::vector<std::string> Sent() const {
        std::vector<std::string> texts;
        for (std::size_t i = 0; i + 1 < transport.written.size(); i += 2) {
            const auto& bytes = transport.written[i].bytes;
            texts.emplace_back(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
        }
        return texts;
    }
    test::PortsScope ports;
    test::ScriptedTransport transport;
};

TEST_F(ConnectionTest, NoInstrumentLeavesAFreshStoreAndNoThreads) {
    transport.openResult = {OpenResult::Status::NotFound, {}};
    SetUsbTransport(&transport);
    sampleRateIndex = 3;
    readoutMask = 0x7;
    auto* old = new TMeasData(1);
    measData = old;

    const ConnectResult result = ConnectInstrument();
    EXPECT_FALSE(result.opened);
    EXPECT_NE(measData, nullptr);
    EXPECT_EQ(measData->averagingCount, 10);
    EXPECT_FALSE(instrumentConnected);
    EXPECT_EQ(readoutMask.load(), 0x7u); // only a successful open starts a new readout
    EXPECT_EQ(CommandThread(), nullptr);
    EXPECT_EQ(MeasuringThread(), nullptr);
    EXPECT_TRUE(ports.window.Messages().empty());
}

TEST_F(ConnectionTest, DisconnectClosesWhatAFailedOpenLeftBehind) {
    transport.pipes = std::vector<PipeInfo>{{PipeType::Control, 0x00, 0}};
    SetUsbTransport(&transport);
    EXPECT_FALSE(ConnectInstrument().opened);
    DisconnectInstrument();
    EXPECT_EQ(transport.closes, 1);
}

TEST_F(ConnectionTest, OperatorCommandsAndTheirGuards) {
    SetUsbTransport(&transport);
    ASSERT_TRUE(unitUsb().OpenUsbLink());
    instrumentConnected = true;
    struct Case {
        const char* handler;
        std::function<void()> click;
        std::string command;
        bool guarded;
    } cases[] = {
        {"ZeroClick", ZeroClick, "#A03", false},
        {"unZeroClick", unZeroClick, "#A13", false},
        {"clrPeakClick", clrPeakClick, "#B03", false},
        {"ButtonGetFirmwareClick", ButtonGetFirmwareClick, "#I05", true},
        {"ButtonGetErrorClick", ButtonGetErrorClick, "#Y00", false},
        {"clrDevErrorClick", clrDevErrorClick, "#Y01", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.handler);
        transport.written.clear();
        commandPending = false;
        c.click();
        EXPECT_EQ(Sent(), std::vector<std::string>{c.command});
        EXPECT_EQ(commandPending.load(), c.guarded); // a guarded command takes the slot
        c.click();                                   // the second click, before an answer
        EXPECT_EQ(Sent().size(), c.guarded ? 1u : 2u);
    }
}

} // namespace
} // namespace kantrel
