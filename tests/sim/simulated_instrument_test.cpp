#include <gtest/gtest.h>

#include <string>

#include "device/packet_layout.h"
#include "sim/signal.h"
#include "sim/simulated_instrument.h"

namespace kantrel::sim {
namespace {

using Outcome = TransferOutcome;
using Frame = std::array<std::uint8_t, 32>;

// Transfers on a manual clock that never has to block: the test moves the clock first.
class Instrument : public ::testing::Test {
protected:
    void Open(Scenario s) {
        instrument = std::make_unique<SimulatedInstrument>(std::move(s), clock);
        ASSERT_EQ(instrument->Open().status, OpenResult::Status::Opened);
    }
    void Send(std::string_view command) {
        const CommandBlock block = BuildCommandMessage(command).block;
        std::array<std::uint8_t, 16> half;
        for (int h = 0; h < 2; ++h) {
            std::copy_n(block.begin() + 16 * h, 16, half.begin());
            ASSERT_EQ(instrument->Transfer(SimulatedInstrument::kCommandPipe, half, 1500).outcome,
                      Outcome::CompletedAtOnce);
        }
    }
    // The next answer message, read packet by packet as the command thread does.
    std::string Answer() {
        AnswerBuffer buffer{};
        const std::span<std::uint8_t, 32> whole(buffer);
        EXPECT_EQ(instrument->Transfer(SimulatedInstrument::kAnswerPipe, whole.first<16>(), 2000).outcome,
                  Outcome::CompletedAtOnce);
        if (!HoldsEndMark(whole.first<16>())) {
            EXPECT_EQ(instrument->Transfer(SimulatedInstrument::kAnswerPipe, whole.last<16>(), 2000).outcome,
                      Outcome::CompletedAtOnce);
        }
        return std::string(AnswerCode(buffer)) + "|" + AnswerText(buffer);
    }
    Frame ReadFrame() {
        Frame frame{};
        EXPECT_EQ(instrument->Transfer(SimulatedInstrument::kFramePipe, frame, 750).outcome,
                  Outcome::CompletedAtOnce);
        return frame;
    }
    // The codes of the next `frames` frames, as text with '.' for a plain sample.
    std::string Codes(int frames) {
        std::string codes;
        for (int f = 0; f < frames; ++f) {
            const Frame frame = ReadFrame();
            for (int k = 0; k < 10; ++k)
                codes += frame[3 * k] == 0 ? '.' : static_cast<char>(frame[3 * k]);
        }
        return codes;
    }

    ManualClock clock;
    std::unique_ptr<SimulatedInstrument> instrument;
};

// The scenario's texts are UTF-8; the instrument sends single bytes in its code page,
// Windows-1252, and a character it does not have as '?'.
TEST_F(Instrument, TextsGoOutInTheInstrumentsCodePage) {
    Scenario s;
    s.unit = "\u00B5m";
    s.firmware = "T\u00E9st \u20AC";
    s.sensorSerial = "\u03A9-\u00E7";
    Open(s);
    const struct {
        std::string command, answer;
    } cases[] = {{"#Z75", "#Z75|\xB5m"}, {"#I05", "#I05|T\xE9st \x80"}, {"#Z76", "#Z76|?-\xE7"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Send(c.command);
        clock.Advance(10);
        EXPECT_EQ(Answer(), c.answer);
    }
}

TEST_F(Instrument, AbsentInstrumentIsNotFound) {
    Scenario s;
    s.present = false;
    SimulatedInstrument absent(s, clock);
    EXPECT_EQ(absent.Open().status, OpenResult::Status::NotFound);
}

TEST_F(Instrument, ThreeBulkPipesAtTheirIndices) {
    Open(Scenario{});
    const auto pipes = instrument->QueryPipes();
    ASSERT_TRUE(pipes);
    ASSERT_EQ(pipes->size(), 3u);
    EXPECT_EQ((*pipes)[0].pipeId, 0x01);
    EXPECT_EQ((*pipes)[1].pipeId, 0x81);
    EXPECT_EQ((*pipes)[1].index, 1);
    EXPECT_EQ((*pipes)[2].pipeId, 0x82);
    EXPECT_EQ((*pipes)[2].index, 2);
    for (const PipeInfo& p : *pipes)
        EXPECT_EQ(p.type, PipeType::Bulk);
}

TEST_F(Instrument, AnswersEveryReadoutCommandInItsFormat) {
    Scenario s;
    s.firmware = "FW 1.0";
    s.deviceError = "E0";
    s.fullScale = 2000.5;
    s.scaleOffset = -1;
    s.deviceSerial = "D-1";
    s.nominalValue = 500;
    s.param62 = -3;
    s.param63 = 8;
    s.calibration = {{0, 0}, {250, 251.5}};
    s.unit = "kg";
    s.sensorSerial = "S-12345678901234567";
    Open(s);
    struct Case {
        std::string command, answer;
    } cases[] = {
        {"#I05", "#I05|FW 1.0"},
        {"#Y00", "#Y00|E0"},
        {"#Z16", "#Z16|2000.5"},
        {"#Z17", "#Z17|-1"},
        {"#Z18", "#Z18|D-1"},
        {"#Z61", "#Z61|500"},
        {"#Z62", "#Z62|-3"},
        {"#Z63", "#Z63|8"},
        {"#Z64", "#Z64|0"},
        {"#Z65", "#Z65|0"},
        {"#Z66", "#Z66|251.5"},
        {"#Z67", "#Z67|250"},
        {"#Z68", "#Z68|0"},
        {"#Z73", "#Z73|0"},
        {"#Z74", "#Z74|2"},
        {"#Z75", "#Z75|kg"},
        {"#Z76", "#Z76|S-12345678901234567"}, // too long for one packet
        {"#A13", "#A13|"},
        {"#B03", "#B03|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        Send(c.command);
        clock.Advance(s.answerDelayMs);
        EXPECT_EQ(Answer(), c.answer);
    }
    EXPECT_EQ(instrument->ReceivedCommands().size(), std::size(cases));
}

TEST_F(Instrument, ClearErrorResetsTheErrorText) {
    Scenario s;
    s.deviceError = "E7 overload";
    Open(s);
    Send("#Y00");
    Send("#Y01");
    Send("#Y00");
    clock.Advance(10);
    EXPECT_EQ(Answer(), "#Y00|E7 overload");
    EXPECT_EQ(Answer(), "#Y01|");
    EXPECT_EQ(Answer(), "#Y00|No Error");
}

TEST_F(Instrument, SilentCommandIsNeverAnswered) {
    Scenario s;
    s.silentCommands = {"#Z63"};
    Open(s);
    Send("#Z63");
    Send("#Z62");
    clock.Advance(10);
    EXPECT_EQ(Answer(), "#Z62|0");
    EXPECT_EQ(instrument->ReceivedCommands(), (std::vector<std::string>{"#Z63", "#Z62"}));
}

TEST_F(Instrument, FaultyCalibrationHasNoSegmentWidth) {
    Scenario s;
    s.faultyCalibration = true;
    Open(s);
    for (const char* c : {"#Z65", "#Z67", "#Z69"})
        Send(c);
    clock.Advance(10);
    EXPECT_EQ(Answer(), "#Z65|0");
    EXPECT_EQ(Answer(), "#Z67|0");
    EXPECT_EQ(Answer(), "#Z69|0");
}

TEST_F(Instrument, FramesCarryTheSignalTenSamplesAtATime) {
    Scenario s;
    s.shape = SignalShape::Ramp;
    s.level = 0;
    s.amplitude = 100;
    s.periodMs = 100;
    Open(s);
    clock.Advance(30);
    for (int f = 0; f < 3; ++f) {
        const Frame frame = ReadFrame();
        for (int k = 0; k < 10; ++k) {
            const auto raw = static_cast<std::int16_t>(frame[3 * k + 1] | frame[3 * k + 2] << 8);
            EXPECT_EQ(raw, RawCountAt(s, f * 10 + k)) << "frame " << f << " sample " << k;
        }
        EXPECT_EQ(frame[30], 0);
        EXPECT_EQ(frame[31], 0);
    }
    EXPECT_EQ(instrument->FramesSent(), 3);
}

TEST_F(Instrument, CommandsAndEventsMarkTheFollowingSample) {
    Scenario s;
    s.answerDelayMs = 2;
    s.keyPressAtMs = {25};
    s.connectionLostAtMs = 27;
    Open(s);
    clock.Advance(3);
    Send("#A03"); // at 3 ms: code on the sample of 5 ms
    Send("#B03"); // also due at 5 ms: goes on the next sample
    Send("#A13");
    clock.Advance(27);
    std::string expected(30, '.');
    expected[5] = '1';
    expected[6] = '2';
    expected[7] = '4';
    expected[25] = '3';
    expected[27] = '5';
    EXPECT_EQ(Codes(3), expected);
}

TEST_F(Instrument, PeriodicKeyPresses) {
    Scenario s;
    s.keyPressEveryMs = 7;
    Open(s);
    clock.Advance(20);
    EXPECT_EQ(Codes(2), ".......3......3.....");
}

TEST_F(Instrument, ReopenStartsTheStreamAndScriptAfresh) {
    Scenario s;
    s.keyPressAtMs = {2};
    Open(s);
    clock.Advance(10);
    EXPECT_EQ(Codes(1), "..3.......");
    instrument->Close();
    clock.Advance(1234);
    ASSERT_EQ(instrument->Open().status, OpenResult::Status::Opened);
    EXPECT_EQ(instrument->OpenedAtMs(), 1244);
    clock.Advance(10);
    EXPECT_EQ(Codes(1), "..3.......");
    EXPECT_EQ(instrument->FramesSent(), 1);
}

TEST_F(Instrument, ClosedOrCancelledLinkFailsEveryTransfer) {
    Open(Scenario{});
    clock.Advance(100);
    instrument->CancelTransfers();
    Frame frame{};
    EXPECT_EQ(instrument->Transfer(SimulatedInstrument::kFramePipe, frame, 750).outcome, Outcome::Failed);
    instrument->Close();
    EXPECT_EQ(instrument->Transfer(SimulatedInstrument::kFramePipe, frame, 750).outcome, Outcome::Failed);
    EXPECT_FALSE(instrument->IsOpen());
    EXPECT_TRUE(instrument->WaitUntilDelivered(std::chrono::milliseconds(0)));
}

TEST_F(Instrument, UnknownPipeFails) {
    Open(Scenario{});
    Frame frame{};
    EXPECT_EQ(instrument->Transfer(0x83, frame, 750).outcome, Outcome::Failed);
}

TEST(RealClock, WaitEndsAtOnceWhenReadyOrPastItsDeadline) {
    RealClock clock;
    std::mutex mutex;
    std::condition_variable cv;
    std::unique_lock lock(mutex);
    EXPECT_TRUE(clock.WaitUntil(lock, cv, kNever, [] { return true; }));
    EXPECT_FALSE(clock.WaitUntil(lock, cv, -1, [] { return false; }));
    const std::int64_t a = clock.NowMs();
    EXPECT_GE(clock.NowMs(), a);
}

} // namespace
} // namespace kantrel::sim
