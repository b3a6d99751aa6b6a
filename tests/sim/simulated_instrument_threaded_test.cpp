#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "device/packet_layout.h"
#include "sim/simulated_instrument.h"

namespace kantrel::sim {
namespace {

using Outcome = TransferOutcome;
using namespace std::chrono_literals;
constexpr auto kPatience = 10s; // real time, only ever a limit

// A transfer running on its own thread. If the test ends early, the link is cancelled so
// that the transfer cannot outlive it.
class PendingTransfer {
public:
    PendingTransfer(SimulatedInstrument& instrument, std::future<Outcome> outcome)
        : instrument_(instrument), outcome_(std::move(outcome)) {}
    PendingTransfer(PendingTransfer&&) = default;
    ~PendingTransfer() {
        if (outcome_.valid() && !Ended())
            instrument_.CancelTransfers();
    }
    bool Ended() const { return outcome_.wait_for(0s) == std::future_status::ready; }
    Outcome get() { return outcome_.get(); }

private:
    SimulatedInstrument& instrument_;
    std::future<Outcome> outcome_;
};

// Blocking transfers on the manual clock: a reader thread blocks, the test moves the
// clock and looks at how the transfer ended.
class BlockingInstrument : public ::testing::Test {
protected:
    void Open(Scenario s) {
        instrument = std::make_unique<SimulatedInstrument>(std::move(s), clock);
        ASSERT_EQ(instrument->Open().status, OpenResult::Status::Opened);
        instrument->SetPipeTimeout(SimulatedInstrument::kAnswerPipe, 1000);
        instrument->SetPipeTimeout(SimulatedInstrument::kFramePipe, 750);
        instrument->SetPipeTimeout(SimulatedInstrument::kCommandPipe, 1500);
    }
    PendingTransfer StartRead(std::uint8_t pipe, int waitMs) {
        return {*instrument, std::async(std::launch::async, [this, pipe, waitMs] {
                    std::array<std::uint8_t, 32> buffer{};
                    const std::size_t size = pipe == SimulatedInstrument::kFramePipe ? 32 : 16;
                    return instrument->Transfer(pipe, std::span(buffer).first(size), waitMs).outcome;
                })};
    }
    void Send(std::string_view command) {
        const CommandBlock block = BuildCommandMessage(command).block;
        for (int h = 0; h < 2; ++h) {
            std::array<std::uint8_t, 16> half;
            std::copy_n(block.begin() + 16 * h, 16, half.begin());
            instrument->Transfer(SimulatedInstrument::kCommandPipe, half, 1500).outcome;
        }
    }

    ManualClock clock;
    std::unique_ptr<SimulatedInstrument> instrument;
};

TEST_F(BlockingInstrument, FrameReadWaitsForItsDueTime) {
    Open(Scenario{});
    auto read = StartRead(SimulatedInstrument::kFramePipe, 750);
    ASSERT_TRUE(instrument->WaitUntilBlocked(SimulatedInstrument::kFramePipe, kPatience));
    clock.Advance(9);
    ASSERT_TRUE(instrument->WaitUntilDelivered(kPatience)); // still parked: nothing due
    EXPECT_FALSE(read.Ended());
    clock.Advance(1);
    EXPECT_EQ(read.get(), Outcome::CompletedAfterWait);
}

TEST_F(BlockingInstrument, TimeOutsInClockTime) {
    struct Case {
        const char* situation;
        std::uint8_t pipe;
        int waitMs;
        std::int64_t advanceMs;
        Outcome outcome;
    } cases[] = {
        {"idle answer pipe: the pipe time-out ends the read", SimulatedInstrument::kAnswerPipe, 2000, 1000,
         Outcome::NotCompleted},
        {"a short wait ends it earlier", SimulatedInstrument::kAnswerPipe, 300, 300, Outcome::NotCompleted},
        {"measurement stall", SimulatedInstrument::kFramePipe, 750, 750, Outcome::NotCompleted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.situation);
        Scenario s;
        s.r2Stall = {0, 5000};
        Open(s);
        auto read = StartRead(c.pipe, c.waitMs);
        ASSERT_TRUE(instrument->WaitUntilBlocked(c.pipe, kPatience));
        clock.Advance(c.advanceMs - 1);
        EXPECT_FALSE(read.Ended());
        clock.Advance(1);
        EXPECT_EQ(read.get(), c.outcome);
        instrument->CancelTransfers();
    }
}

// However far the clock jumps, a frame due after the read's deadline never arrived.
TEST_F(BlockingInstrument, JumpFarPastAStallStillTimesOut) {
    Scenario s;
    s.r2Stall = {0, 5000};
    Open(s);
    auto read = StartRead(SimulatedInstrument::kFramePipe, 750);
    ASSERT_TRUE(instrument->WaitUntilBlocked(SimulatedInstrument::kFramePipe, kPatience));
    clock.Advance(10000);
    EXPECT_EQ(read.get(), Outcome::NotCompleted);
}

TEST_F(BlockingInstrument, AnswerArrivingWhileTheReaderWaits) {
    Open(Scenario{});
    auto read = StartRead(SimulatedInstrument::kAnswerPipe, 2000);
    ASSERT_TRUE(instrument->WaitUntilBlocked(SimulatedInstrument::kAnswerPipe, kPatience));
    Send("#I05");
    EXPECT_TRUE(instrument->WaitUntilDelivered(kPatience)); // not due yet: still parked
    clock.Advance(2);
    EXPECT_EQ(read.get(), Outcome::CompletedAfterWait);
}

TEST_F(BlockingInstrument, FramesResumeAfterAStall) {
    Scenario s;
    s.r2Stall = {100, 300};
    Open(s);
    clock.Advance(100);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(StartRead(SimulatedInstrument::kFramePipe, 750).get(), Outcome::CompletedAtOnce);
    // The frame of 100 ms falls into the stall: it comes with the rest at 400 ms.
    auto read = StartRead(SimulatedInstrument::kFramePipe, 750);
    ASSERT_TRUE(instrument->WaitUntilBlocked(SimulatedInstrument::kFramePipe, kPatience));
    clock.Advance(299);
    EXPECT_FALSE(read.Ended());
    clock.Advance(1);
    EXPECT_EQ(read.get(), Outcome::CompletedAfterWait);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(StartRead(SimulatedInstrument::kFramePipe, 750).get(), Outcome::CompletedAtOnce);
    EXPECT_EQ(instrument->FramesSent(), 40);
}

TEST_F(BlockingInstrument, CommandStall) {
    struct Case {
        std::int64_t stallMs;
        Outcome outcome;
        std::size_t commandsTaken; // a half that timed out breaks its message
    } cases[] = {{1600, Outcome::NotCompleted, 0}, {400, Outcome::CompletedAfterWait, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stallMs);
        Scenario s;
        s.s1Stall = {0, c.stallMs};
        Open(s);
        PendingTransfer write(*instrument, std::async(std::launch::async, [this] {
            std::array<std::uint8_t, 16> half = {'#', 'A', '0', '3', 0, 0xA7};
            return instrument->Transfer(SimulatedInstrument::kCommandPipe, half, 1500).outcome;
        }));
        ASSERT_TRUE(instrument->WaitUntilBlocked(SimulatedInstrument::kCommandPipe, kPatience));
        clock.Advance(std::min<std::int64_t>(c.stallMs, 1500));
        EXPECT_EQ(write.get(), c.outcome);
        clock.Advance(200);
        std::array<std::uint8_t, 16> zeros{};
        EXPECT_EQ(instrument->Transfer(SimulatedInstrument::kCommandPipe, zeros, 1500).outcome,
                  Outcome::CompletedAtOnce);
        EXPECT_EQ(instrument->ReceivedCommands().size(), c.commandsTaken);
    }
}

TEST_F(BlockingInstrument, CancelEndsABlockedTransferAtOnce) {
    Open(Scenario{});
    auto read = StartRead(SimulatedInstrument::kAnswerPipe, 2000);
    ASSERT_TRUE(instrument->WaitUntilBlocked(SimulatedInstrument::kAnswerPipe, kPatience));
    instrument->CancelTransfers();
    EXPECT_EQ(read.get(), Outcome::Failed);
}

TEST_F(BlockingInstrument, DeliveredWaitsForTheReaderToComeBack) {
    Open(Scenario{});
    clock.Advance(10);
    EXPECT_FALSE(instrument->WaitUntilDelivered(0ms)); // a frame is due and no reader has come
    std::atomic<int> framesRead{0};
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        std::array<std::uint8_t, 32> frame{};
        while (!stop && Completed(instrument->Transfer(SimulatedInstrument::kFramePipe, frame, 750).outcome))
            ++framesRead;
    });
    std::thread answers([&] {
        std::array<std::uint8_t, 16> packet{};
        while (!stop && instrument->Transfer(SimulatedInstrument::kAnswerPipe, packet, 2000).outcome !=
                            Outcome::Failed) {
        }
    });
    for (int step = 1; step <= 20; ++step) {
        clock.Advance(50);
        ASSERT_TRUE(instrument->WaitUntilDelivered(kPatience));
        EXPECT_EQ(framesRead.load(), 1 + step * 5); // everything due has been taken
    }
    stop = true;
    instrument->CancelTransfers();
    reader.join();
    answers.join();
}

TEST_F(BlockingInstrument, FullConsumerCountsAsDelivered) {
    Open(Scenario{});
    std::atomic<int> framesRead{0};
    std::atomic<bool> stop{false};
    constexpr int kRoom = 20;
    instrument->SetConsumerFullProbe([&] { return framesRead.load() >= kRoom; });
    std::thread reader([&] {
        std::array<std::uint8_t, 32> frame{};
        while (!stop && framesRead < kRoom &&
               Completed(instrument->Transfer(SimulatedInstrument::kFramePipe, frame, 750).outcome))
            ++framesRead;
    });
    std::thread answers([&] {
        std::array<std::uint8_t, 16> packet{};
        while (!stop && instrument->Transfer(SimulatedInstrument::kAnswerPipe, packet, 2000).outcome !=
                            Outcome::Failed) {
        }
    });
    clock.Advance(500);
    ASSERT_TRUE(instrument->WaitUntilDelivered(kPatience));
    EXPECT_EQ(framesRead.load(), kRoom);
    stop = true;
    instrument->CancelTransfers();
    reader.join();
    answers.join();
}

} // namespace
} // namespace kantrel::sim
