// Throughput of the processing cycle. Prints, as its last two lines:
//   samples_per_s_avg100 <N>       averaging count 100, no recording
//   datasets_per_s_avg1_auto <N>   averaging count 1 with automatic recording: every
//                                  sample stores a data set with its texts, time and date
// It also counts heap allocations per sample of the first run (expected 0).

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "device/device_parameters.h"
#include "measure/meas_data.h"
#include "platform/posix_regional_settings.h"

namespace {
std::atomic<long long> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using namespace kantrel;
using Clock = std::chrono::steady_clock;

void UseTypicalParameters() {
    DeviceParameters p;
    p.fullScale = 1000;
    p.nominalValue = 1000;
    p.calPointCount = 3;
    p.calInput = {0, 500, 1000, 0, 0};
    p.calOutput = {0, 510, 1000, 0, 0};
    p.unitText = "N";
    deviceParameters = p;
    readoutMask = kReadoutComplete;
}

void Fill(TMeasData& store, int count, int base) {
    std::int32_t w = store.ringWriteIndex.load();
    for (int i = 0; i < count; ++i) {
        store.sampleRing[static_cast<std::size_t>(w)] = SampleEntry{'0', static_cast<std::int16_t>((base + i * 37) % 20000)};
        w = (w + 1) % kSampleRingSize;
    }
    store.ringWriteIndex.store(w);
}

// Runs `total` samples through ProcessSamples, 999 at a time; returns the seconds spent
// inside ProcessSamples.
double Run(TMeasData& store, long long total, long long* allocationsSeen) {
    double seconds = 0;
    long long allocated = 0;
    for (long long done = 0; done < total; done += 999) {
        Fill(store, 999, static_cast<int>(done % 10007));
        const long long before = allocations.load();
        const auto start = Clock::now();
        store.ProcessSamples();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        allocated += allocations.load() - before;
    }
    if (allocationsSeen) *allocationsSeen = allocated;
    return seconds;
}

}  // namespace

int main() {
    PosixRegionalSettings regionalSettings("de_DE.UTF-8");
    ports().regional = &regionalSettings;
    UseTypicalParameters();

    const long long samples = 50'000'000;
    TMeasData averaging(100);
    Run(averaging, 999 * 100, nullptr);  // warm-up
    long long allocated = 0;
    const double avgSeconds = Run(averaging, samples, &allocated);
    // Formatting the texts of a completed mean may allocate; per sample it must be zero.
    std::printf("allocations_per_mean_avg100 %.2f\n", static_cast<double>(allocated) / (samples / 100.0));

    const long long datasets = 2'000'000;
    TMeasData recording(1);
    recording.SetAutoRecording(true);
    Run(recording, 100'000, nullptr);  // warm-up
    const double autoSeconds = Run(recording, datasets, nullptr);

    std::printf("samples_per_s_avg100 %.0f\n", static_cast<double>(samples) / avgSeconds);
    std::printf("datasets_per_s_avg1_auto %.0f\n", static_cast<double>(datasets) / autoSeconds);
    return 0;
}
