#include "measure/meas_data.h"

#include <algorithm>

#include "core/link_flags.h"
#include "device/readout.h"

namespace kantrel {

TMeasData* measData = nullptr;

double peakMax = -kPeakReset;
double peakMin = kPeakReset;
double peakMaxAvr = -kPeakReset;
double peakMinAvr = kPeakReset;
std::int32_t overloadHoldOff = 0;
bool calErrorShowing = false;
std::int32_t meanOfMeansCount = 0;
double meanOfMeansSum = 0.0;
std::string meanOfMeansText = "---";
bool listRebuildPending = false;
bool connectionLossHandled = false;

void ResetMeanOfMeans() {
    meanOfMeansCount = 0;
    meanOfMeansSum = 0.0;
    meanOfMeansText = "---";
}

TMeasData::TMeasData(std::int32_t averagingCount)
    : dataList(kDataListSize), averagingCount(averagingCount < 1 ? 1 : averagingCount), sampleTime(clock().Now()),
      lastKeyTime(sampleTime), clockStart(sampleTime) {
    commandPending.store(false);
    readoutTimer = timers().CreateTimer([this] { ReadoutTimerTick(*this); });
    readoutTimer->Start(10);
}

TMeasData::~TMeasData() {
    if (readoutTimer) readoutTimer->Stop();
}

AcquireResult TMeasData::AcquireFrame(FrameSource& source) {
    const std::int32_t write = ringWriteIndex.load(std::memory_order_relaxed);
    const std::int32_t read = ringReadIndex.load(std::memory_order_acquire);
    // A frame needs ten free entries; the writer never catches up with the reader.
    for (int k = 1; k <= kSamplesPerFrame; ++k) {
        if ((write + k) % kSampleRingSize == read) return AcquireResult::NoRoom;
    }

    std::array<std::uint8_t, kFrameBytes> frame{};
    if (!source.ReadMeasurementFrame(frame)) return AcquireResult::ReadFailed;

    // Sample k: code at byte 3k, raw value little-endian at 3k+1 and 3k+2; bytes 30 and
    // 31 carry nothing. Each entry is published on its own, oldest first.
    std::int32_t index = write;
    for (int k = 0; k < kSamplesPerFrame; ++k) {
        const std::size_t at = static_cast<std::size_t>(3 * k);
        SampleEntry& entry = sampleRing[static_cast<std::size_t>(index)];
        entry.sampleCode = static_cast<char>(frame[at]);
        entry.rawValue = static_cast<std::int16_t>(static_cast<std::uint16_t>(frame[at + 1]) |
                                                   static_cast<std::uint16_t>(frame[at + 2] << 8));
        index = (index + 1) % kSampleRingSize;
        ringWriteIndex.store(index, std::memory_order_release);
    }
    return AcquireResult::Stored;
}

void TMeasData::ClearDataList() {
    dataListPos = -1;
    dataListWrapped = false;
    unlistedDataSets = 0;
    unlistedReplacedOldest = false;
}

void TMeasData::DropLastRow() {
    // A wrapped table would still hold the dropped data set: its rows behind the
    // position count as held. In time order it simply ends one row earlier.
    if (dataListWrapped)
        PutOldestFirst();
    if (dataListPos > -1) --dataListPos;
    if (unlistedDataSets > 0)
        --unlistedDataSets;
}

void TMeasData::MarkDataListFull() {
    if (dataListWrapped) {
        PutOldestFirst();
        dataListWrapped = true; // the next data set replaces row 0, the oldest
    }
    dataListPos = dataListSize - 1;
}

void TMeasData::PutOldestFirst() {
    // Rotating moves the texts' buffers, not their characters.
    const auto oldest = dataList.begin() + (dataListPos + 1) % dataListSize;
    std::rotate(dataList.begin(), oldest, dataList.end());
    dataListPos = dataListSize - 1;
    dataListWrapped = false;
}

TMeasData::UnlistedDataSets TMeasData::TakeUnlistedDataSets() {
    const UnlistedDataSets taken{std::min(unlistedDataSets, dataListSize), unlistedReplacedOldest};
    unlistedDataSets = 0;
    unlistedReplacedOldest = false;
    return taken;
}

void TMeasData::AdvanceDataListPos() {
    if (dataListPos < dataListSize - 1) ++dataListPos;
}

}  // namespace kantrel
