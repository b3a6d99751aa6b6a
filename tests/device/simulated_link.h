#pragma once

// The program's device side run against the simulated instrument on a manual clock: the
// test thread plays the main thread (its timers, the display's processing cycle, the
// posted work), the command and measuring threads are the real ones.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "device/connection.h"
#include "device/device_parameters.h"
#include "device/unit_usb.h"
#include "measure/meas_data.h"
#include "sim/simulated_instrument.h"
#include "support/fake_ports.h"

namespace kantrel::test {

inline constexpr std::chrono::seconds kPatience{10}; // real time, only ever a limit

// A FakeWindow that also says when work was posted to it and on which thread the main-
// thread operations ran.
class WaitableWindow : public FakeWindow {
public:
    void PostToMainThread(std::function<void()> fn) override {
        FakeWindow::PostToMainThread(std::move(fn));
        std::lock_guard lock(postMutex_);
        ++posts_;
        postChanged_.notify_all();
    }
    bool WaitForPosts(int count) {
        std::unique_lock lock(postMutex_);
        return postChanged_.wait_for(lock, kPatience, [&] { return posts_ >= count; });
    }
    void SaveDataSets() override {
        FakeWindow::SaveDataSets();
        std::lock_guard lock(mutex);
        saveThreads.push_back(std::this_thread::get_id());
    }
    void Record(std::string event) {
        std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    std::vector<std::thread::id> saveThreads;

private:
    std::mutex postMutex_;
    std::condition_variable postChanged_;
    int posts_ = 0;
};

inline bool RingFull(const TMeasData& store) {
    const std::int32_t w = store.ringWriteIndex.load();
    const std::int32_t r = store.ringReadIndex.load();
    for (int k = 1; k <= kSamplesPerFrame; ++k)
        if ((w + k) % kSampleRingSize == r)
            return true;
    return false;
}

inline std::int64_t RingCount(const TMeasData& store) {
    return (store.ringWriteIndex.load() - store.ringReadIndex.load() + kSampleRingSize) % kSampleRingSize;
}

class SimulatedLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        kantrel::ports().window = &window;
        SetProcessEndHook([this] {
            window.Record("end");
            endThreads.push_back(std::this_thread::get_id());
        });
    }
    void TearDown() override {
        DisconnectInstrument();
        DestroyMeasData();
        SetUsbTransport(nullptr);
        SetProcessEndHook({});
    }

    // A quiet instrument: constant signal, no key presses, calibration 0:0 500:510 1000:1000.
    static sim::Scenario QuietScenario(double level = 250.0) {
        sim::Scenario s;
        s.shape = sim::SignalShape::Constant;
        s.level = level;
        s.calibration = {{0, 0}, {500, 510}, {1000, 1000}};
        return s;
    }

    ConnectResult Connect(const sim::Scenario& scenario) {
        instrument = std::make_unique<sim::SimulatedInstrument>(scenario, clock);
        instrument->SetConsumerFullProbe([] { return measData != nullptr && RingFull(*measData); });
        SetUsbTransport(instrument.get());
        return ConnectInstrument();
    }

    // 10 ms of the program: the clock moves, the worker threads take what is due, the
    // timers tick; once the readout is done the display processes every 100 ms.
    void Step() {
        clock.Advance(10);
        elapsedMs += 10;
        ASSERT_TRUE(instrument->WaitUntilDelivered(kPatience)) << "at " << elapsedMs << " ms";
        ports.timers.TickAll();
        if (!displayStarted && measData != nullptr && measData->IsReadoutDone())
            displayStarted = true;
        if (displayStarted && elapsedMs % 100 == 0)
            measData->ProcessSamples();
    }
    void Run(int ms) {
        for (int t = 0; t < ms && !HasFatalFailure(); t += 10)
            Step();
    }
    bool RunUntilDisplayStarts(int maxMs) {
        for (int t = 0; t < maxMs && !displayStarted && !HasFatalFailure(); t += 10)
            Step();
        return displayStarted;
    }

    PortsScope ports;
    WaitableWindow window;
    sim::ManualClock clock;
    std::unique_ptr<sim::SimulatedInstrument> instrument;
    bool displayStarted = false;
    std::int64_t elapsedMs = 0;
    std::vector<std::thread::id> endThreads;
};

} // namespace kantrel::test
