#include <gtest/gtest.h>

#include <thread>

#include "measure/meas_data.h"
#include "support/measurement_fixture.h"

namespace kantrel {
namespace {

// Frames of consecutive raw values 0, 1, 2, ...; the read fails after the last one.
class CountingFrames : public FrameSource {
public:
    explicit CountingFrames(int frames) : remaining(frames) {}
    bool ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame) override {
        if (remaining-- <= 0) return false;
        std::array<SampleEntry, kSamplesPerFrame> samples{};
        for (auto& s : samples) s = SampleEntry{'0', static_cast<std::int16_t>(next++ % 30000)};
        const auto bytes = test::MakeFrame(samples);
        std::copy(bytes.begin(), bytes.end(), frame.begin());
        return true;
    }
    int remaining;
    int next = 0;
};

TEST(SampleRing, ProducerAndConsumerThreadsLoseAndReorderNothing) {
    test::PortsScope scope;
    test::UseIdentityParameters(100000);
    TMeasData store(1);
    store.SetAutoRecording(true);
    constexpr int kFrames = 2000;  // 20000 samples: the table wraps once

    CountingFrames source(kFrames);
    std::thread producer([&] {
        while (store.AcquireFrame(source) != AcquireResult::ReadFailed) {
            std::this_thread::yield();
        }
    });
    const int total = kFrames * kSamplesPerFrame;
    // The clock counts every sample taken from the ring.
    while (store.elapsedMs < total) {
        if (!store.ProcessSamples()) std::this_thread::yield();
    }
    producer.join();

    ASSERT_TRUE(store.IsDataListWrapped());
    // Every row holds the newest data set that went to it, in order.
    for (int n = total - kDataListSize; n < total; ++n) {
        const int row = n % kDataListSize;
        ASSERT_EQ(store.Row(row).rawText, std::to_string(n)) << "row " << row;
    }
}

}  // namespace
}  // namespace kantrel
