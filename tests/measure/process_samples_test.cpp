#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/date_time.h"
#include "core/value_text.h"
#include "files/external_program.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/measurement_fixture.h"

namespace kantrel {
namespace {

using test::PushSample;
using test::PushSamples;

class ProcessSamplesTest : public testing::Test {
protected:
    void SetUp() override {
        test::UseIdentityParameters();
        ports().externalProgram = &externalProgram;
    }
    std::string Format(double v) { return FormatValue(v); }

    ExternalProgramStarter externalProgram;
    test::PortsScope scope;
};

TEST_F(ProcessSamplesTest, ConstantReadingsGiveOneMeanAndOneSingleShotRow) {
    TMeasData store(100);
    store.RequestSingleShot();
    PushSamples(store, 99, 5);
    EXPECT_FALSE(store.ProcessSamples());
    EXPECT_EQ(store.GetMeanText(), "");
    PushSamples(store, 1, 5);
    EXPECT_TRUE(store.ProcessSamples());
    EXPECT_EQ(store.GetMeanText(), Format(5.0));
    EXPECT_EQ(store.GetDataListPos(), 0);
    EXPECT_FALSE(store.singleShotRequest);
    PushSamples(store, 100, 5);
    EXPECT_FALSE(store.ProcessSamples());  // the request was served once
    EXPECT_EQ(store.GetDataListPos(), 0);
}

TEST_F(ProcessSamplesTest, DataSetRowCarriesTextsTimeDateAndRawReading) {
    scope.clock.now = EncodeDateTime(CivilDateTime{2026, 12, 10, 9, 5, 7, 998});
    TMeasData store(2);
    store.RequestSingleShot();
    PushSample(store, 0, 10);
    PushSample(store, 0, -12);
    ASSERT_TRUE(store.ProcessSamples());
    const tDataListArray& row = store.Row(0);
    EXPECT_EQ(row.meanText, Format(-1.0));
    EXPECT_EQ(row.minText, Format(-12.0));
    EXPECT_EQ(row.maxText, Format(10.0));
    EXPECT_EQ(row.minAvrText, Format(-1.0));
    EXPECT_EQ(row.maxAvrText, Format(-1.0));
    EXPECT_EQ(row.rawText, "-12");
    // Created at .998; two samples later the clock reads 09:05:08.000.
    EXPECT_EQ(row.msText, "000");
    EXPECT_EQ(row.timeText, "09:05:08");
    EXPECT_EQ(row.dateText, "10.12.2026");
    EXPECT_DOUBLE_EQ(row.timestamp, store.sampleTime);
}

TEST_F(ProcessSamplesTest, ExtremeRawCountsGiveDefinedTexts) {
    TMeasData store(1);
    store.SetAutoRecording(true);
    PushSample(store, 0, -32768);
    PushSample(store, 0, 32767);
    store.ProcessSamples();
    EXPECT_EQ(store.Row(0).meanText, Format(-32768.0));
    EXPECT_EQ(store.Row(1).meanText, Format(32767.0));
    EXPECT_EQ(store.Row(0).rawText, "-32768");
    EXPECT_EQ(store.Row(1).rawText, "32767");
}

TEST_F(ProcessSamplesTest, ZeroingAveragesTheNextThousandReadings) {
    TMeasData store(1000);
    PushSample(store, '1', 2);
    PushSamples(store, 998, 2);
    store.ProcessSamples();
    EXPECT_EQ(store.zeroValue, 0.0);  // keeps its old value until complete
    PushSamples(store, 1, 2);
    store.ProcessSamples();
    EXPECT_EQ(store.zeroValue, 2.0);
    test::Feed(store, 1000, 7);
    EXPECT_EQ(store.GetMeanText(), Format(5.0));
    EXPECT_EQ(store.GetMaxText(), Format(5.0));  // peaks are shown minus the zero

    PushSample(store, '4', 7);  // removes the zero at once
    store.ProcessSamples();
    test::Feed(store, 999, 7);
    EXPECT_EQ(store.GetMeanText(), Format(7.0));
}

TEST_F(ProcessSamplesTest, PeakClearThenNewPeaks) {
    TMeasData store(2);
    PushSamples(store, 2, 100);
    store.ProcessSamples();
    PushSample(store, '2', -3);
    PushSample(store, 0, 4);
    store.ProcessSamples();
    EXPECT_EQ(peakMin, -3);
    EXPECT_EQ(peakMax, 4);
    EXPECT_EQ(peakMinAvr, 0.5);  // the first mean after the clear
    EXPECT_EQ(peakMaxAvr, 0.5);
}

TEST_F(ProcessSamplesTest, InstrumentKeyIsDebouncedAndNeedsTheSetting) {
    settings.KeyDebounceTimeMs = 70;
    struct Case {
        int useKey;
        int samplesBeforeKey;
        bool captured;
    } cases[] = {
        {0, 200, false},  // instrument key switched off
        {1, 69, false},   // 70 ms after creation: not strictly more than the debounce time
        {1, 70, true},    // 71 ms
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samplesBeforeKey);
        settings.useSelKeySingleShot = c.useKey;
        TMeasData store(1);
        PushSamples(store, c.samplesBeforeKey, 1);
        PushSample(store, '3', 1);
        EXPECT_EQ(store.ProcessSamples(), c.captured);
        EXPECT_EQ(store.GetDataListPos(), c.captured ? 0 : -1);
    }

    settings.useSelKeySingleShot = 5;  // any non-zero value counts
    TMeasData store(1);
    PushSamples(store, 100, 1);
    PushSample(store, '3', 1);
    PushSamples(store, 69, 1);
    PushSample(store, '3', 1);  // 70 ms after the accepted one
    PushSamples(store, 1, 1);
    PushSample(store, '3', 1);  // 71 ms after it
    store.ProcessSamples();
    EXPECT_EQ(store.GetDataListPos(), 1);
}

TEST_F(ProcessSamplesTest, OverloadHoldOffCountsDownOverValidReadings) {
    TMeasData store(1);
    PushSample(store, 0, 1001);
    store.ProcessSamples();
    EXPECT_EQ(overloadHoldOff, kOverloadHoldOff);
    PushSamples(store, 10, 0);
    store.ProcessSamples();
    EXPECT_EQ(overloadHoldOff, kOverloadHoldOff - 10);
    PushSample(store, 0, -1001);
    store.ProcessSamples();
    EXPECT_EQ(overloadHoldOff, kOverloadHoldOff);
}

TEST_F(ProcessSamplesTest, TheDataSetAfterAFullTableGoesToRowZero) {
    TMeasData store(1);
    store.SetAutoRecording(true);
    test::Feed(store, kDataListSize, 3);
    EXPECT_EQ(store.GetDataListPos(), kDataListSize - 1);
    EXPECT_FALSE(store.IsDataListWrapped());
    PushSamples(store, 1, 4);
    store.ProcessSamples();
    EXPECT_EQ(store.GetDataListPos(), 0);
    EXPECT_TRUE(store.IsDataListWrapped());
    EXPECT_EQ(store.Row(0).meanText, Format(4.0));
}

TEST_F(ProcessSamplesTest, MeanOfMeansIsScaledDownPastItsLimit) {
    TMeasData store(1);
    store.SetAutoRecording(true);
    meanOfMeansCount = kMeanOfMeansLimit;
    meanOfMeansSum = 5.0 * kMeanOfMeansLimit;
    PushSamples(store, 1, 5);
    store.ProcessSamples();
    EXPECT_EQ(meanOfMeansCount, (kMeanOfMeansLimit + 1) / 10);
    EXPECT_DOUBLE_EQ(meanOfMeansSum, 5.0 * (kMeanOfMeansLimit + 1) / 10);
    EXPECT_EQ(meanOfMeansText, Format(5.0) + " N");
    ResetMeanOfMeans();
    EXPECT_EQ(meanOfMeansText, "---");
    EXPECT_EQ(meanOfMeansCount, 0);
}

TEST_F(ProcessSamplesTest, IncompleteParametersConsumeSamplesWithoutValues) {
    readoutMask = kReadoutComplete & ~0x2u;
    TMeasData store(1);
    store.SetAutoRecording(true);
    const double start = store.sampleTime;
    PushSample(store, '1', 50);
    PushSamples(store, 9, 50);
    EXPECT_FALSE(store.ProcessSamples());
    EXPECT_EQ(store.ringReadIndex, 10);
    EXPECT_NEAR(store.sampleTime - start, 10 * kOneMillisecond, 1e-11);
    EXPECT_EQ(store.zeroCountdown, kZeroCount);  // the code still acted
    EXPECT_EQ(store.GetMeanText(), "");
    EXPECT_EQ(peakMax, -kPeakReset);
}

TEST_F(ProcessSamplesTest, ClockDoesNotDriftOverAnHourOfSamples) {
    scope.clock.now = EncodeDateTime(CivilDateTime{2026, 12, 10, 8, 0, 0, 0});
    readoutMask = 0;  // only the clock runs
    TMeasData store(1);
    test::Feed(store, 3600 * 1000, 0);
    const CivilDateTime t = DecodeDateTime(store.sampleTime);
    EXPECT_EQ(t.hour, 9);
    EXPECT_EQ(t.minute, 0);
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.millisecond, 0);
}

TEST_F(ProcessSamplesTest, CalibrationErrorShowsOneBoxAtATimeAndSurvivesReentry) {
    deviceParameters.calInput = {0, 0, 0, 0, 0};  // zero-width segment
    TMeasData store(1);
    int inner = 0;
    scope.window.onMessage = [&](const test::Message&) {
        // A timer tick while the box is open runs the cycle again.
        ++inner;
        PushSamples(store, 5, 1);
        store.ProcessSamples();
    };
    PushSamples(store, 3, 1);
    store.ProcessSamples();
    // The inner call drains the ring, the outer samples included, without a second box.
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(scope.window.Messages().size(), 1u);
    EXPECT_EQ(scope.window.Messages()[0], (test::Message{"Sensor Calibration Error", "Error"}));
    EXPECT_FALSE(calErrorShowing);
    EXPECT_EQ(store.ringReadIndex, store.ringWriteIndex);
    EXPECT_EQ(store.meanCount, 0);
}

TEST_F(ProcessSamplesTest, CalibrationErrorBoxDoesNotHoldTheCycleAndStaysTheOnlyOne) {
    deviceParameters.calInput = {0, 0, 0, 0, 0}; // zero-width segment
    scope.window.holdBoxes = true;
    TMeasData store(1);
    PushSamples(store, 3, 1);
    store.ProcessSamples();
    // The cycle returned with the box still open and the ring drained.
    EXPECT_TRUE(calErrorShowing);
    EXPECT_EQ(store.ringReadIndex, store.ringWriteIndex);
    PushSamples(store, 5, 1);
    store.ProcessSamples(); // the next tick, the box still open
    EXPECT_EQ(scope.window.Messages().size(), 1u);
    EXPECT_EQ(scope.window.CloseHeldBoxes(), 1);
    EXPECT_FALSE(calErrorShowing);
    PushSamples(store, 1, 1);
    store.ProcessSamples(); // a new error after the box has closed opens a new one
    EXPECT_EQ(scope.window.Messages().size(), 2u);
}

TEST_F(ProcessSamplesTest, FailedExternalProgramStartDoesNotHoldTheCycle) {
    settings.extProgramm = "missing";
    scope.launcher.result = 2;
    scope.window.holdBoxes = true;
    TMeasData store(1);
    store.RequestSingleShot();
    PushSamples(store, 3, 1);
    EXPECT_TRUE(store.ProcessSamples());
    EXPECT_EQ(scope.window.Messages(), (std::vector<test::Message>{{"File 'missing' not found!", "Error"}}));
    ASSERT_EQ(scope.window.heldBoxes.size(), 1u); // still open when the cycle returned
    EXPECT_EQ(store.ringReadIndex, store.ringWriteIndex);
}

// The hand-off to the keyboard buffer or the external program may let a timer tick run
// the cycle again before it returns: the request it serves must already be cleared then.
TEST_F(ProcessSamplesTest, CycleEnteredAgainDuringTheHandOffStoresAndHandsOnOnce) {
    const struct {
        const char* name;
        bool keyCapture;
    } cases[] = {{"external program after a single shot", false},
                 {"key buffer after the instrument key", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scope.launcher.calls.clear();
        scope.keys.strokes.clear();
        settings.extProgramm = c.keyCapture ? "" : "recorder";
        settings.useSelKeySingleShot = c.keyCapture ? 1 : 0;
        settings.WriteToKeyBuffer = c.keyCapture;
        TMeasData store(1);
        bool entered = false;
        const auto enterAgain = [&] {
            if (entered)
                return;
            entered = true;
            PushSamples(store, 1, 5);
            store.ProcessSamples();
        };
        scope.launcher.onLaunch = enterAgain;
        scope.keys.onEnter = enterAgain;
        PushSamples(store, 100, 4);
        if (c.keyCapture) {
            PushSample(store, '3', 4);
        } else {
            store.RequestSingleShot();
            PushSample(store, 0, 4);
        }
        store.ProcessSamples();
        EXPECT_TRUE(entered);
        EXPECT_EQ(store.GetDataListPos(), 0);
        EXPECT_EQ(scope.launcher.calls.size(), c.keyCapture ? 0u : 1u);
        EXPECT_EQ(std::count(scope.keys.strokes.begin(), scope.keys.strokes.end(), U'\n'),
                  c.keyCapture ? 1 : 0);
    }
    scope.launcher.onLaunch = nullptr;
    scope.keys.onEnter = nullptr;
}

TEST_F(ProcessSamplesTest, ConnectionLostCodeReportsAndDisablesKeys) {
    TMeasData store(1);
    PushSample(store, '5', 0);
    store.ProcessSamples();
    EXPECT_TRUE(store.IsConnectionLost());
    ASSERT_EQ(scope.window.statusTexts.size(), 1u);
    EXPECT_EQ(scope.window.statusTexts[0], "No connection to Device");
    EXPECT_EQ(scope.window.tensologKeys, std::vector<bool>{false});
}

TEST_F(ProcessSamplesTest, MeanAfterAnAveragingCountChangeIsTheMeanOfItsReadings) {
    TMeasData store(100);
    PushSamples(store, 30, 10);
    store.ProcessSamples();
    store.SetAveragingCount(20);
    PushSamples(store, 1, 10);  // the 31st reading completes the window
    store.ProcessSamples();
    EXPECT_EQ(store.GetMeanText(), Format(10.0));  // the mean of the 31 readings, not 310 / 20
    EXPECT_EQ(store.meanCount, 0);
    test::Feed(store, 20, 4);
    EXPECT_EQ(store.GetMeanText(), Format(4.0));  // from then on windows of 20
}

TEST_F(ProcessSamplesTest, AutomaticRecordingFeedsTheChartEveryHundredMilliseconds) {
    scope.window.seriesChecked[1] = false;  // "Min." unticked
    TMeasData store(1);                     // step 100
    store.SetAutoRecording(true);
    PushSamples(store, 201, 7);
    store.ProcessSamples();
    // Rows 0, 100 and 200, four ticked series each.
    ASSERT_EQ(scope.window.addedPoints.size(), 12u);
    EXPECT_EQ(scope.window.addedPoints[0].slot, 0);
    EXPECT_EQ(scope.window.addedPoints[0].x, 0);
    EXPECT_EQ(scope.window.addedPoints[0].y, 7.0);
    EXPECT_EQ(scope.window.addedPoints[4].x, 100);
    for (const auto& p : scope.window.addedPoints) EXPECT_NE(p.slot, 1);
    EXPECT_EQ(scope.window.zoomAlls, 1);  // at table position 0
    EXPECT_TRUE(scope.window.deletedPoints.empty());
}

TEST_F(ProcessSamplesTest, WrappedRecordingReplacesTheOverwrittenPoint) {
    TMeasData store(50);  // step 2
    store.SetAutoRecording(true);
    store.dataListPos = kDataListSize - 1;
    PushSamples(store, 100, 9);  // two data sets: rows 0 and 1
    store.ProcessSamples();
    std::vector<std::pair<int, int>> expected;
    for (int slot = 0; slot < 5; ++slot) expected.emplace_back(slot, 0);
    EXPECT_EQ(scope.window.deletedPoints, expected);
    EXPECT_EQ(scope.window.addedPoints.size(), 5u);  // row 1 is not a multiple of the step
    EXPECT_EQ(scope.window.zoomAlls, 1);
}

TEST_F(ProcessSamplesTest, SingleShotDuringRecordingIsStoredOnceAndNotDrawn) {
    TMeasData store(1);
    store.SetAutoRecording(true);
    store.RequestSingleShot();
    PushSamples(store, 1, 3);
    EXPECT_TRUE(store.ProcessSamples());
    EXPECT_EQ(store.GetDataListPos(), 0);
    EXPECT_TRUE(scope.window.addedPoints.empty());
    EXPECT_TRUE(scope.keys.strokes.empty());
}

TEST_F(ProcessSamplesTest, KeyCaptureTypesTheMeanWithTheConfiguredSeparator) {
    settings.useSelKeySingleShot = 1;
    settings.WriteToKeyBuffer = true;
    settings.DecimalSeparator = ".";
    settings.KeyBufDelayTimeMs = 3;
    TMeasData store(1);
    PushSamples(store, 100, 123);
    PushSample(store, '3', 123);
    ASSERT_TRUE(store.ProcessSamples());
    EXPECT_EQ(scope.keys.strokes, U" 123.0\n");
    EXPECT_EQ(scope.keys.pauses, std::vector<int>(6, 3));
    EXPECT_EQ(store.GetMeanText(), " 123.0");       // the store's own text changed
    EXPECT_EQ(store.Row(store.GetDataListPos()).meanText, " 123,0");  // the row keeps the regional one
}

TEST_F(ProcessSamplesTest, SingleShotIsNeverTyped) {
    settings.WriteToKeyBuffer = true;
    TMeasData store(1);
    store.RequestSingleShot();
    PushSamples(store, 1, 123);
    store.ProcessSamples();
    EXPECT_TRUE(scope.keys.strokes.empty());
    EXPECT_EQ(store.GetMeanText(), " 123,0");
}

TEST_F(ProcessSamplesTest, ExternalProgramStartsForSingleDataSetsOnly) {
    settings.extProgramm = "recorder";
    TMeasData store(1);
    store.SetAutoRecording(true);
    PushSamples(store, 5, 1);
    store.ProcessSamples();
    EXPECT_TRUE(scope.launcher.calls.empty());
    store.SetAutoRecording(false);
    store.RequestSingleShot();
    PushSamples(store, 1, 1);
    store.ProcessSamples();
    ASSERT_EQ(scope.launcher.calls.size(), 1u);
    EXPECT_EQ(scope.launcher.calls[0].program, "recorder");
}

// The headless recorder installs no external program: the cycle starts none, whatever
// the settings say.
TEST_F(ProcessSamplesTest, WithoutAnExternalProgramInstalledNothingIsStarted) {
    ports().externalProgram = nullptr;
    settings.extProgramm = "recorder";
    TMeasData store(1);
    store.RequestSingleShot();
    PushSamples(store, 1, 1);
    EXPECT_TRUE(store.ProcessSamples());
    EXPECT_TRUE(scope.launcher.calls.empty());
    EXPECT_TRUE(scope.window.Messages().empty());
}

class ChartFeedTest : public testing::Test {
protected:
    void SetUp() override { test::UseIdentityParameters(); }
    test::PortsScope scope;
};

// The recording's chart feed read the text through a buffer of 64 characters: a value
// printed with 300 digits reached the chart as a number with 64 digits.
TEST_F(ChartFeedTest, PointOfAValueWithALongTextEqualsTheText) {
    deviceParameters.calOutput = {0, 5.37e306, 0, 0, 0}; // raw 1000 reads 5.37e306
    TMeasData store(1);
    store.SetAutoRecording(true);
    test::PushSample(store, 0, 1000);
    store.ProcessSamples();
    ASSERT_GT(store.GetMeanText().size(), 64u);
    ASSERT_EQ(ParseValueText(store.GetMeanText(), ","), 5.37e306);
    const std::string texts[] = {store.GetMeanText(), store.GetMinText(), store.GetMaxText(),
                                 store.GetMinAvrText(), store.GetMaxAvrText()};
    ASSERT_EQ(scope.window.addedPoints.size(), 5u);
    for (const auto& point : scope.window.addedPoints) {
        SCOPED_TRACE(point.slot);
        EXPECT_EQ(point.y, ParseValueText(texts[point.slot], ","));
    }
}

}  // namespace
}  // namespace kantrel
