#include "support/measurement_fixture.h"

#include <algorithm>

namespace kantrel::test {

void UseIdentityParameters(double nominalValue) {
    DeviceParameters p;
    p.fullScale = kRawFullScale;
    p.nominalValue = nominalValue;
    p.calPointCount = 2;
    p.calInput = {0, 1000, 0, 0, 0};
    p.calOutput = {0, 1000, 0, 0, 0};
    p.unitText = "N";
    p.deviceSerial = "D-1";
    p.sensorSerial = "S-1";
    deviceParameters = p;
    readoutMask = kReadoutComplete;
}

void PushSample(TMeasData& store, char code, std::int16_t raw) {
    const std::int32_t w = store.ringWriteIndex.load();
    store.sampleRing[static_cast<std::size_t>(w)] = SampleEntry{code, raw};
    store.ringWriteIndex.store((w + 1) % kSampleRingSize);
}

void PushSamples(TMeasData& store, int count, std::int16_t raw, char code) {
    for (int i = 0; i < count; ++i) PushSample(store, code, raw);
}

bool Feed(TMeasData& store, int count, std::int16_t raw) {
    bool stored = false;
    while (count > 0) {
        const int portion = std::min(count, 500);
        PushSamples(store, portion, raw);
        stored = store.ProcessSamples() || stored;
        count -= portion;
    }
    return stored;
}

std::array<std::uint8_t, kFrameBytes> MakeFrame(const std::array<SampleEntry, kSamplesPerFrame>& samples) {
    std::array<std::uint8_t, kFrameBytes> frame{};
    for (std::size_t k = 0; k < samples.size(); ++k) {
        const auto raw = static_cast<std::uint16_t>(samples[k].rawValue);
        frame[3 * k] = static_cast<std::uint8_t>(samples[k].sampleCode);
        frame[3 * k + 1] = static_cast<std::uint8_t>(raw & 0xFF);
        frame[3 * k + 2] = static_cast<std::uint8_t>(raw >> 8);
    }
    return frame;
}

bool QueuedFrames::ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame) {
    ++reads;
    if (frames.empty()) return false;
    std::copy(frames.front().begin(), frames.front().end(), frame.begin());
    frames.pop_front();
    return true;
}

}  // namespace kantrel::test
