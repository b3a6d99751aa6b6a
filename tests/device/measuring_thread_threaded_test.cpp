#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "core/link_flags.h"
#include "device/command_channel.h"
#include "device/measuring_thread.h"
#include "device/scripted_transport.h"
#include "device/unit_usb.h"
#include "simulated_link.h"
#include "support/measurement_fixture.h"

namespace kantrel {
namespace {

using test::kPatience;
using test::kR1;
using test::kR2;

class WorkerThreads : public ::testing::Test {
protected:
    void SetUp() override {
        kantrel::ports().window = &window;
        ASSERT_TRUE(link.OpenUsbLink());
        instrumentConnected = true;
        measData = &store;
    }
    void TearDown() override { measData = nullptr; }
    // The link going down under the threads, as the disconnect does it.
    void TakeLinkDown() {
        instrumentConnected = false;
        link.CancelTransfers();
    }

    test::PortsScope ports;
    test::WaitableWindow window;
    test::ScriptedTransport transport;
    UnitUSB link{&transport};
    TMeasData store{100};
};

// The instrument is far faster than the consumer here: the ring is full most of the
// time, and the thread must wait for room without dropping or reordering a frame.
TEST_F(WorkerThreads, FullRingLosesAndReordersNothing) {
    constexpr int kFrames = 700;
    for (int f = 0; f < kFrames; ++f) {
        std::array<SampleEntry, kSamplesPerFrame> samples;
        for (int k = 0; k < kSamplesPerFrame; ++k)
            samples[static_cast<std::size_t>(k)] = {static_cast<char>(k),
                                                    static_cast<std::int16_t>(f * 10 + k)};
        const auto frame = test::MakeFrame(samples);
        transport.Push(kR2, TransferOutcome::CompletedAtOnce, {frame.begin(), frame.end()});
    }
    transport.blockWhenEmpty = true;

    TdataThread2 thread(link);
    std::vector<std::int16_t> seen;
    while (seen.size() < kFrames * kSamplesPerFrame) {
        const std::int32_t write = store.ringWriteIndex.load(std::memory_order_acquire);
        std::int32_t read = store.ringReadIndex.load(std::memory_order_relaxed);
        if (read == write) {
            std::this_thread::yield();
            continue;
        }
        while (read != write) {
            seen.push_back(store.sampleRing[static_cast<std::size_t>(read)].rawValue);
            read = (read + 1) % kSampleRingSize;
            store.ringReadIndex.store(read, std::memory_order_release);
        }
    }
    for (std::size_t i = 0; i < seen.size(); ++i)
        ASSERT_EQ(seen[i], static_cast<std::int16_t>(i)) << "sample " << i;

    TakeLinkDown();
    EXPECT_TRUE(thread.WaitUntilFinished(kPatience));
    EXPECT_TRUE(window.Messages().empty());
}

// While the ring has no room the thread waits instead of asking again at once: over a
// stretch of real time it uses a small part of what a spinning loop would.
TEST_F(WorkerThreads, FullRingIsWaitedForWithoutSpinning) {
    store.ringWriteIndex = 0;
    store.ringReadIndex = 5; // four free entries: no room for a frame
    const auto cpuNow = [] {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
    };
    TdataThread2 thread(link);
    const auto cpuBefore = cpuNow();
    const auto wallBefore = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto cpu = cpuNow() - cpuBefore;
    const auto wall = std::chrono::steady_clock::now() - wallBefore;
    EXPECT_LT(cpu, wall / 10) << "the measuring thread spins on the full ring";
    EXPECT_EQ(transport.Transfers(kR2), 0);

    // Room again: the thread reads on, and stops when told.
    transport.blockWhenEmpty = true;
    store.ringReadIndex = 0;
    {
        std::unique_lock lock(transport.mutex);
        ASSERT_TRUE(
            transport.changed.wait_for(lock, kPatience, [&] { return transport.transfers[kR2] > 0; }));
    }
    TakeLinkDown();
    EXPECT_TRUE(thread.WaitUntilFinished(kPatience));
}

TEST_F(WorkerThreads, ReadErrorIsShownOnTheMainThreadAndEndsTheThread) {
    transport.Push(kR2, TransferOutcome::Failed);
    TdataThread2 thread(link);
    ASSERT_TRUE(window.WaitForPosts(1));
    EXPECT_FALSE(thread.Finished()); // it waits for the box to be closed
    EXPECT_TRUE(window.Messages().empty());
    window.RunPosted();
    EXPECT_TRUE(thread.WaitUntilFinished(kPatience));
    EXPECT_EQ(window.Messages(),
              (std::vector<test::Message>{{"R2: Error WinUsb_ReadPipe in UnitUSB", "WARNING"}}));
}

TEST_F(WorkerThreads, CommandThreadEndsOnAFailedRead) {
    transport.Push(kR1, TransferOutcome::CompletedAtOnce, test::AnswerBytes("#Z61250"));
    transport.Push(kR1, TransferOutcome::NotCompleted);
    transport.Push(kR1, TransferOutcome::Failed);
    commandPending = true;
    TDataThread thread(link);
    ASSERT_TRUE(window.WaitForPosts(1));
    window.RunPosted();
    EXPECT_TRUE(thread.WaitUntilFinished(kPatience));
    EXPECT_EQ(deviceParameters.nominalValue, 250.0);
    EXPECT_FALSE(commandPending);
    EXPECT_EQ(window.Messages(),
              (std::vector<test::Message>{{"Error WinUsb_ReadPipe in UnitUSB", "WARNING"}}));
    EXPECT_EQ(transport.Transfers(kR1), 3);
}

// Set-up messages of a worker reach the main thread the same way, and a stop ends the
// wait for them.
TEST_F(WorkerThreads, StopEndsTheWaitForAMessage) {
    transport.failCompletionWait.insert(kR1);
    TDataThread thread(link);
    ASSERT_TRUE(window.WaitForPosts(1));
    thread.Terminate();
    EXPECT_TRUE(thread.WaitUntilFinished(kPatience));
    window.RunPosted();
    EXPECT_TRUE(window.Messages().empty()); // the abandoned box is not shown any more
}

TEST_F(WorkerThreads, BothThreadsEndWhenTheLinkGoesDown) {
    transport.blockWhenEmpty = true;
    TDataThread command(link);
    TdataThread2 measuring(link);
    {
        std::unique_lock lock(transport.mutex);
        ASSERT_TRUE(transport.changed.wait_for(
            lock, kPatience, [&] { return transport.transfers[kR1] > 0 && transport.transfers[kR2] > 0; }));
    }
    TakeLinkDown();
    EXPECT_TRUE(command.WaitUntilFinished(kPatience));
    EXPECT_TRUE(measuring.WaitUntilFinished(kPatience));
    EXPECT_TRUE(window.Messages().empty());
}

} // namespace
} // namespace kantrel
