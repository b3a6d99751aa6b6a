#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <span>

#include "device/device_parameters.h"
#include "measure/meas_data.h"
#include "support/fake_ports.h"

namespace kantrel::test {

// Device parameters that turn a raw count into the same number (scale 1, identity
// calibration), nominal value 1000, unit "N", readout complete.
void UseIdentityParameters(double nominalValue = 1000);

// Puts samples into the store's ring as the measuring thread would.
void PushSample(TMeasData& store, char code, std::int16_t raw);
void PushSamples(TMeasData& store, int count, std::int16_t raw, char code = 0);
// Any number of plain samples, pushed and processed in portions the ring can hold.
// True when a data set was stored.
bool Feed(TMeasData& store, int count, std::int16_t raw);

// Builds the 32 bytes of one measurement frame.
std::array<std::uint8_t, kFrameBytes> MakeFrame(const std::array<SampleEntry, kSamplesPerFrame>& samples);

// A frame source that hands out queued frames and then fails.
class QueuedFrames : public FrameSource {
public:
    bool ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame) override;
    std::deque<std::array<std::uint8_t, kFrameBytes>> frames;
    int reads = 0;
};

}  // namespace kantrel::test
