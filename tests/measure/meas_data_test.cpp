#include <gtest/gtest.h>

#include "core/link_flags.h"
#include "measure/meas_data.h"
#include "support/measurement_fixture.h"

namespace kantrel {
namespace {

using test::MakeFrame;
using test::PortsScope;
using test::QueuedFrames;

std::array<SampleEntry, kSamplesPerFrame> Counting(std::int16_t first) {
    std::array<SampleEntry, kSamplesPerFrame> s{};
    for (int k = 0; k < kSamplesPerFrame; ++k) s[static_cast<std::size_t>(k)] = {'0', static_cast<std::int16_t>(first + k)};
    return s;
}

TEST(TMeasData, NewStoreIsEmptyAndClearsCommandPending) {
    PortsScope scope;
    commandPending = true;
    TMeasData store(100);
    EXPECT_FALSE(commandPending);
    EXPECT_EQ(store.GetDataListPos(), -1);
    EXPECT_FALSE(store.IsDataListWrapped());
    EXPECT_EQ(store.GetDataListSize(), 10240);
    EXPECT_EQ(store.averagingCount, 100);
    EXPECT_FALSE(store.keyCaptureRequest);
    EXPECT_EQ(store.sampleTime, scope.clock.now);
    EXPECT_EQ(store.lastKeyTime, scope.clock.now);
    ASSERT_NE(store.readoutTimer, nullptr);
    EXPECT_TRUE(store.readoutTimer->IsActive());
    EXPECT_EQ(static_cast<test::ManualTimer*>(store.readoutTimer.get())->interval, 10);
    store.DropLastRow();
    EXPECT_EQ(store.GetDataListPos(), -1);
}

TEST(TMeasData, TablePositionOperations) {
    PortsScope scope;
    TMeasData store(1);
    store.AdvanceDataListPos();
    store.AdvanceDataListPos();
    EXPECT_EQ(store.GetDataListPos(), 1);
    store.dataListPos = kDataListSize - 1;
    store.AdvanceDataListPos();  // stops at the last row
    EXPECT_EQ(store.GetDataListPos(), kDataListSize - 1);

    // On a wrapped table the newest data set at row 0 goes; the rest is put in time
    // order, so that the table no longer counts the dropped row as held.
    for (int row = 0; row < kDataListSize; ++row)
        store.SetRowMean(row, std::to_string(row));
    store.dataListPos = 0;
    store.dataListWrapped = true;
    store.DropLastRow();
    EXPECT_EQ(store.GetDataListPos(), kDataListSize - 2);
    EXPECT_FALSE(store.IsDataListWrapped());
    EXPECT_EQ(store.GetRowMean(0), "1");
    EXPECT_EQ(store.GetRowMean(kDataListSize - 2), std::to_string(kDataListSize - 1));

    // Marked full, a wrapped table puts its newest data set into the last row.
    for (int row = 0; row < kDataListSize; ++row)
        store.SetRowMean(row, std::to_string(row));
    store.dataListPos = 3;
    store.dataListWrapped = true;
    store.MarkDataListFull();
    EXPECT_EQ(store.GetDataListPos(), kDataListSize - 1);
    EXPECT_TRUE(store.IsDataListWrapped());
    EXPECT_EQ(store.GetRowMean(kDataListSize - 1), "3");
    EXPECT_EQ(store.GetRowMean(0), "4");
    store.ClearDataList();
    EXPECT_EQ(store.GetDataListPos(), -1);
    EXPECT_FALSE(store.IsDataListWrapped());
}

TEST(TMeasData, RowTextsAreIndependentCopies) {
    PortsScope scope;
    TMeasData store(1);
    std::string text = " 1,5";
    store.SetRowMean(7, text);
    text[1] = '9';
    EXPECT_EQ(store.GetRowMean(7), " 1,5");
    std::string copy = store.GetRowMean(7);
    copy.clear();
    EXPECT_EQ(store.GetRowMean(7), " 1,5");
}

TEST(AcquireFrame, DecodesCodesAndLittleEndianRawValues) {
    PortsScope scope;
    TMeasData store(1);
    QueuedFrames source;
    auto frame = MakeFrame(Counting(0));
    frame[0] = 0x31;
    frame[1] = 0x10;
    frame[2] = 0xFF;
    frame[30] = 0xAB;  // bytes 30 and 31 carry nothing
    frame[31] = 0xCD;
    source.frames.push_back(frame);
    ASSERT_EQ(store.AcquireFrame(source), AcquireResult::Stored);
    EXPECT_EQ(store.ringWriteIndex, 10);
    EXPECT_EQ(store.sampleRing[0].sampleCode, '1');
    EXPECT_EQ(store.sampleRing[0].rawValue, -240);
    EXPECT_EQ(store.sampleRing[9].rawValue, 9);
}

TEST(AcquireFrame, ReadsOnlyWithTenFreeEntries) {
    struct Case {
        int read, write;
        bool reads;
        int writeAfter;
    } cases[] = {
        {5, 994, true, 4},    // wraps from 999 to 0
        {5, 4, false, 4},     // 4 + 1 == 5: full
        {10, 0, false, 0},    // nine free entries
        {11, 0, true, 10},    // ten free entries
        {0, 0, true, 10},     // empty ring
        {0, 990, false, 990}, // 990 + 10 wraps onto the reader
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "read " << c.read << " write " << c.write);
        PortsScope scope;
        TMeasData store(1);
        store.ringReadIndex = c.read;
        store.ringWriteIndex = c.write;
        QueuedFrames source;
        source.frames.push_back(MakeFrame(Counting(100)));
        EXPECT_EQ(store.AcquireFrame(source), c.reads ? AcquireResult::Stored : AcquireResult::NoRoom);
        EXPECT_EQ(source.reads, c.reads ? 1 : 0);
        EXPECT_EQ(store.ringWriteIndex, c.writeAfter);
        if (c.reads) {
            EXPECT_EQ(store.sampleRing[static_cast<std::size_t>((c.write + 9) % 1000)].rawValue, 109);
        }
    }
}

TEST(AcquireFrame, FailedReadIsReportedAndStoresNothing) {
    PortsScope scope;
    TMeasData store(1);
    QueuedFrames source;  // no frames: the read fails
    EXPECT_EQ(store.AcquireFrame(source), AcquireResult::ReadFailed);
    EXPECT_EQ(store.ringWriteIndex, 0);
}

TEST(ProcessWideValues, SurviveANewStore) {
    PortsScope scope;
    test::UseIdentityParameters();
    auto first = std::make_unique<TMeasData>(1);
    test::PushSamples(*first, 1, 250);
    first->SetAutoRecording(true);
    first->ProcessSamples();
    first.reset();
    TMeasData second(1);
    EXPECT_EQ(second.GetDataListPos(), -1);
    EXPECT_EQ(peakMax, 250);
    EXPECT_EQ(peakMinAvr, 250);
    EXPECT_EQ(meanOfMeansCount, 1);
    EXPECT_EQ(meanOfMeansText, " 250,0 N");  // the fake regional separator is a comma
}

}  // namespace
}  // namespace kantrel
