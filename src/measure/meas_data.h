#pragma once

// TMeasData, the measurement store: the sample ring between the measuring thread and
// the processing cycle, the state of the cycle, the recording requests and the table of
// recorded data sets. One store exists per connection; measData points to it.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/ports.h"

namespace kantrel {

inline constexpr int kSampleRingSize = 1000;
inline constexpr int kDataListSize = 10240;
inline constexpr int kZeroCount = 1000;
inline constexpr int kOverloadHoldOff = 1000;
inline constexpr int kMeanOfMeansLimit = 1000000;
inline constexpr double kPeakReset = 1e20;
inline constexpr int kFrameBytes = 32;
inline constexpr int kSamplesPerFrame = 10;

struct SampleEntry {
    char sampleCode = 0;
    std::int16_t rawValue = 0;
};

// One recorded data set.
struct tDataListArray {
    std::string meanText, minText, maxText, minAvrText, maxAvrText;
    std::string rawText, timeText, dateText, msText;
    double timestamp = 0.0;
};

// Where the measuring thread gets its frames from (the device link, or a test).
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Fills the 32 bytes; false when the read failed.
    virtual bool ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame) = 0;
};

enum class AcquireResult {
    NoRoom,      // fewer than ten free entries: nothing was read
    Stored,      // one frame became ten ring entries
    ReadFailed,  // the read failed: the measuring thread ends
};

class TMeasData {
public:
    explicit TMeasData(std::int32_t averagingCount);
    ~TMeasData();
    TMeasData(const TMeasData&) = delete;
    TMeasData& operator=(const TMeasData&) = delete;

    // Measuring thread only.
    AcquireResult AcquireFrame(FrameSource& source);

    // Main thread: the processing cycle; true when at least one data set was stored.
    bool ProcessSamples();

    void SetAveragingCount(std::int32_t count) { averagingCount = count < 1 ? 1 : count; }
    bool IsReadoutDone() const { return readoutDone; }
    bool IsConnectionLost() const { return connectionLost.load(std::memory_order_relaxed); }

    std::string GetMeanText() const { return meanText; }
    std::string GetMinText() const { return minText; }
    std::string GetMaxText() const { return maxText; }
    std::string GetMinAvrText() const { return minAvrText; }
    std::string GetMaxAvrText() const { return maxAvrText; }

    void RequestSingleShot() { singleShotRequest = true; }
    void SetAutoRecording(bool on) { autoRecording = on; }
    bool IsAutoRecording() const { return autoRecording; }
    std::int32_t GetDataListSize() const { return dataListSize; }
    std::int32_t GetDataListPos() const { return dataListPos; }
    bool IsDataListWrapped() const { return dataListWrapped; }
    // The data sets held: all rows once the table has wrapped, rows 0 to dataListPos before.
    std::int32_t GetDataSetCount() const { return dataListWrapped ? dataListSize : dataListPos + 1; }
    // The row of the k-th data set held, counted from the oldest (k = 0).
    int RowOfDataSet(int k) const { return dataListWrapped ? (dataListPos + 1 + k) % dataListSize : k; }
    // Every row holds a data set: the table is put in time order first (oldest in row 0),
    // so that the last row, where the position goes, is the newest.
    void MarkDataListFull();
    // The data sets stored since the last call (at most a full table): the newest ones,
    // ending at GetDataListPos. oldestReplaced: a full table gave up data sets for them.
    // The list takes them once per tick.
    struct UnlistedDataSets {
        std::int32_t count = 0;
        bool oldestReplaced = false;
    };
    UnlistedDataSets TakeUnlistedDataSets();
    void ClearDataList();
    void DropLastRow();
    void AdvanceDataListPos();

    // Row access; the caller keeps row within 0..dataListSize-1.
    const tDataListArray& Row(int row) const { return dataList[static_cast<std::size_t>(row)]; }
    std::string GetRowMean(int row) const { return Row(row).meanText; }
    std::string GetRowMin(int row) const { return Row(row).minText; }
    std::string GetRowMax(int row) const { return Row(row).maxText; }
    std::string GetRowMinAvr(int row) const { return Row(row).minAvrText; }
    std::string GetRowMaxAvr(int row) const { return Row(row).maxAvrText; }
    std::string GetRowTime(int row) const { return Row(row).timeText; }
    std::string GetRowDate(int row) const { return Row(row).dateText; }
    std::string GetRowMs(int row) const { return Row(row).msText; }
    double GetRowTimestamp(int row) const { return Row(row).timestamp; }
    void SetRowMean(int row, std::string text) { MutableRow(row).meanText = std::move(text); }
    void SetRowMin(int row, std::string text) { MutableRow(row).minText = std::move(text); }
    void SetRowMax(int row, std::string text) { MutableRow(row).maxText = std::move(text); }
    void SetRowMinAvr(int row, std::string text) { MutableRow(row).minAvrText = std::move(text); }
    void SetRowMaxAvr(int row, std::string text) { MutableRow(row).maxAvrText = std::move(text); }
    void SetRowTime(int row, std::string text) { MutableRow(row).timeText = std::move(text); }
    void SetRowDate(int row, std::string text) { MutableRow(row).dateText = std::move(text); }
    void SetRowMs(int row, std::string text) { MutableRow(row).msText = std::move(text); }

    // Members, worked on directly by the processing cycle (and inspected by tests).
    // Rows 0 to dataListPos hold the data sets in time order while dataListWrapped is
    // false; once it is true all rows do, the newest at dataListPos and the oldest behind
    // it. Every operation keeps it so, moving rows where it must.
    std::vector<tDataListArray> dataList;
    std::unique_ptr<MainThreadTimer> readoutTimer;  // drives the start-up readout
    std::int32_t averagingCount;
    std::int32_t zeroCount = kZeroCount;
    std::int32_t dataListSize = kDataListSize;
    // Single producer (measuring thread: entries and ringWriteIndex), single consumer
    // (main thread: ringReadIndex). Indices are published with release, read with acquire.
    std::atomic<std::int32_t> ringReadIndex{0};
    std::atomic<std::int32_t> ringWriteIndex{0};
    std::array<SampleEntry, kSampleRingSize> sampleRing;
    double meanSum = 0.0;
    std::int32_t meanCount = 0;
    std::int32_t zeroCountdown = 0;
    double zeroSum = 0.0;
    double zeroValue = 0.0;
    bool readoutDone = false;
    std::atomic<bool> connectionLost{false};  // read by the worker threads' transfers
    std::int32_t dataListPos = -1;
    bool dataListWrapped = false;
    bool singleShotRequest = false;
    bool keyCaptureRequest = false;
    bool autoRecording = false;
    std::int32_t unlistedDataSets = 0; // stored but not yet taken by the list
    bool unlistedReplacedOldest = false;
    std::string meanText, minText, maxText, minAvrText, maxAvrText;
    double sampleTime;
    double lastKeyTime;
    // The clock counts whole milliseconds from the creation time: adding 1 ms steps to
    // a date-time double would drift by about half a second an hour through rounding.
    double clockStart;
    std::int64_t elapsedMs = 0;

private:
    tDataListArray& MutableRow(int row) { return dataList[static_cast<std::size_t>(row)]; }
    void PutOldestFirst();
    void ApplySampleCode(char code);
    void CompleteMean(std::int16_t raw, bool& stored);
    void StoreDataSet(std::int16_t raw, double diff);
    void FeedChart();
};

// The store of the current connection; null when there is none.
extern TMeasData* measData;

// Process-wide measurement values: they outlive the store of one connection.
extern double peakMax, peakMin, peakMaxAvr, peakMinAvr;
extern std::int32_t overloadHoldOff;
extern bool calErrorShowing;
extern std::int32_t meanOfMeansCount;
extern double meanOfMeansSum;
extern std::string meanOfMeansText;
extern bool listRebuildPending;
extern bool connectionLossHandled;

void ResetMeanOfMeans();  // CLR ALL: count 0, sum 0, text "---"

}  // namespace kantrel
