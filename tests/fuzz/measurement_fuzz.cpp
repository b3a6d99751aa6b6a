// Measurement frames through AcquireFrame and ProcessSamples, with any device parameters,
// into FormatValue, the data-set table, the chart feed, the keyboard buffer and the
// external program.
//
// Input: fullScale, scaleOffset, nominalValue, then the five calibration points as input
// and output (FuzzInput::Double each); the calibration point count byte; the sample rate
// byte (modulo 13); a flags byte (bit 0 high resolution, 1 single shot, 2 automatic
// recording, 3 instrument key captures, 4 key-buffer output, 5 external program); a byte
// that places the empty ring (entry 4 x byte, so that a few frames cross its end); then
// the measurement frames, 32 bytes each, at most kMaxFrames of them (a huge value takes
// long to print, five texts per mean).
//
// Properties: the ring indices stay in the ring; every value text is a non-empty text;
// every stored row is complete; the chart gets points at the rows, exactly at the numbers
// of their texts.

#include <cmath>
#include <fmt/format.h>

#include "device/device_parameters.h"
#include "files/external_program.h"
#include "fuzz/fuzz_support.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/measurement_fixture.h"

namespace {

using kantrel::TMeasData;

constexpr std::size_t kMaxFrames = 40;

void ReadParameters(kantrel::fuzz::FuzzInput& in) {
    kantrel::DeviceParameters p;
    p.fullScale = in.Double();
    p.scaleOffset = in.Double();
    p.nominalValue = in.Double();
    for (int i = 0; i < kantrel::kMaxCalPoints; ++i) {
        p.calInput[static_cast<std::size_t>(i)] = in.Double();
        p.calOutput[static_cast<std::size_t>(i)] = in.Double();
    }
    p.calPointCount = in.Byte();
    p.unitText = "N";
    kantrel::deviceParameters = p;
    kantrel::readoutMask = kantrel::kReadoutComplete;
}

void CheckTexts(const TMeasData& store) {
    for (const std::string* text :
         {&store.meanText, &store.minText, &store.maxText, &store.minAvrText, &store.maxAvrText})
        FUZZ_CHECK(!text->empty() || store.dataListPos < 0);
    FUZZ_CHECK(!kantrel::meanOfMeansText.empty());
    const int rows = store.dataListWrapped ? kantrel::kDataListSize : store.dataListPos + 1;
    for (int row = 0; row < rows; ++row) {
        const kantrel::tDataListArray& r = store.Row(row);
        for (const std::string* text : {&r.meanText, &r.minText, &r.maxText, &r.minAvrText, &r.maxAvrText,
                                        &r.rawText, &r.timeText, &r.dateText, &r.msText})
            FUZZ_CHECK_MSG(!text->empty(), fmt::format("row {}", row));
    }
}

// During automatic recording the chart gets the row's texts as numbers: point x is the
// row, y its text. (The table does not wrap within one input.)
void CheckChart(const kantrel::test::FakeWindow& window, const TMeasData& store, std::string_view separator) {
    for (const auto& point : window.addedPoints) {
        FUZZ_CHECK(point.x >= 0 && point.x <= store.dataListPos && point.x == std::floor(point.x));
        const kantrel::tDataListArray& row = store.Row(static_cast<int>(point.x));
        const std::string* texts[] = {&row.meanText, &row.minText, &row.maxText, &row.minAvrText,
                                      &row.maxAvrText};
        const std::string& text = *texts[point.slot];
        const auto value = kantrel::fuzz::ReadValueText(text, separator);
        FUZZ_CHECK_MSG(
            value && std::isfinite(*value) && *value == point.y,
            fmt::format("row {} slot {}: text \"{}\" drawn as {}", point.x, point.slot, text, point.y));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kantrel::fuzz::FuzzInput in(data, size);
    kantrel::ExternalProgramStarter externalProgram;
    kantrel::test::PortsScope ports;
    kantrel::ports().externalProgram = &externalProgram;
    ReadParameters(in);
    const int rate = in.Byte() % kantrel::kSampleRateCount;
    const std::uint8_t flags = in.Byte();
    kantrel::hiResolution = (flags & 1) != 0;
    kantrel::settings.useSelKeySingleShot = (flags & 8) != 0 ? 1 : 0;
    kantrel::settings.KeyDebounceTimeMs = 0;
    kantrel::settings.WriteToKeyBuffer = (flags & 16) != 0;
    kantrel::settings.DecimalSeparator = ".";
    if ((flags & 32) != 0) {
        kantrel::settings.extProgramm = "logger";
        kantrel::settings.extParameter = "_Min_ _Max_ _MinAvr_ _MaxAvr_ _Mean_ _Time_ _Date_";
    }

    TMeasData store(kantrel::AveragingCountFor(rate));
    kantrel::measData = &store;
    store.singleShotRequest = (flags & 2) != 0;
    store.autoRecording = (flags & 4) != 0;

    const int ringStart = in.Byte() * 4 % kantrel::kSampleRingSize;
    store.ringReadIndex = ringStart;
    store.ringWriteIndex = ringStart;

    kantrel::test::QueuedFrames frames;
    for (std::string_view rest = in.Rest();
         rest.size() >= kantrel::kFrameBytes && frames.frames.size() < kMaxFrames;
         rest.remove_prefix(kantrel::kFrameBytes)) {
        std::array<std::uint8_t, kantrel::kFrameBytes> frame{};
        std::copy_n(rest.begin(), frame.size(), frame.begin());
        frames.frames.push_back(frame);
    }
    for (;;) {
        const kantrel::AcquireResult acquired = store.AcquireFrame(frames);
        if (acquired == kantrel::AcquireResult::ReadFailed)
            break;
        if (acquired == kantrel::AcquireResult::NoRoom)
            store.ProcessSamples();
        FUZZ_CHECK(store.ringWriteIndex >= 0 && store.ringWriteIndex < kantrel::kSampleRingSize);
    }
    store.ProcessSamples();
    FUZZ_CHECK(store.ringReadIndex == store.ringWriteIndex);
    CheckTexts(store);
    CheckChart(ports.window, store, ports.regional.separator);
    kantrel::measData = nullptr;
    return 0;
}
