// The processing cycle: drains the sample ring on the main thread, one 1 ms sample at
// a time, into means, peaks, the zero and recorded data sets.

#include <cmath>
#include <fmt/format.h>

#include "core/date_time.h"
#include "core/value_text.h"
#include "device/device_parameters.h"
#include "measure/format_value.h"
#include "measure/keyboard_output.h"
#include "measure/meas_data.h"
#include "settings/language.h"
#include "settings/settings.h"

namespace kantrel {
namespace {

constexpr int kChartSlots = 5;

}  // namespace

bool TMeasData::ProcessSamples() {
    bool stored = false;
    // The ring's write index is read afresh on every pass, so samples that arrive during
    // the call are processed too. Every step works on the members directly: a modal box
    // opened below lets a timer tick enter this function again.
    while (ringReadIndex.load(std::memory_order_relaxed) != ringWriteIndex.load(std::memory_order_acquire)) {
        sampleTime = clockStart + static_cast<double>(++elapsedMs) / 86400000.0;
        const std::int32_t read = ringReadIndex.load(std::memory_order_relaxed);
        const SampleEntry entry = sampleRing[static_cast<std::size_t>(read)];
        ringReadIndex.store((read + 1) % kSampleRingSize, std::memory_order_release);

        ApplySampleCode(entry.sampleCode);
        if (!IsComplete()) continue;

        const CalibrationResult cal = ApplyCalibration(RawToScaled(entry.rawValue));
        if (!cal.ok) {
            // One box at a time; the cycle goes on behind it.
            if (!calErrorShowing) {
                calErrorShowing = true;
                window().OpenMessage("Sensor Calibration Error", kCaptionError,
                                     [] { calErrorShowing = false; });
            }
            continue;
        }
        const double value = cal.value;

        meanSum += value;
        if (value > peakMax) peakMax = value;
        if (value < peakMin) peakMin = value;
        if (zeroCountdown > 0) {
            zeroSum += value;
            if (--zeroCountdown == 0) zeroValue = zeroSum / zeroCount;
        }
        if (overloadHoldOff > 0) --overloadHoldOff;

        if (++meanCount < averagingCount) continue;
        CompleteMean(entry.rawValue, stored);
    }
    return stored;
}

void TMeasData::ApplySampleCode(char code) {
    switch (code) {
    case '1':  // a zeroing starts; the old zero stays until it completes
        zeroSum = 0.0;
        zeroCountdown = zeroCount;
        break;
    case '2':
        peakMax = -kPeakReset;
        peakMin = kPeakReset;
        peakMinAvr = kPeakReset;
        peakMaxAvr = -kPeakReset;
        break;
    case '3':
        // Compared in whole milliseconds of sample time: the clock is a sum of 1 ms
        // steps, and its rounding must not decide a press that falls on the boundary.
        if (settings.useSelKeySingleShot != 0 &&
            std::llround((sampleTime - lastKeyTime) / kOneMillisecond) > settings.KeyDebounceTimeMs) {
            lastKeyTime = sampleTime;
            keyCaptureRequest = true;
        }
        break;
    case '4':
        zeroValue = 0.0;
        break;
    case '5':
        window().SetStatusText(Translate("No connection to Device"));
        window().SetTensologKeys(false);
        connectionLost.store(true, std::memory_order_relaxed);
        break;
    default:
        break;
    }
}

void TMeasData::CompleteMean(std::int16_t raw, bool& stored) {
    // Divided by the readings actually summed: after a change of the averaging count the
    // running window may hold more or fewer than the new count, and dividing its sum by
    // the new count would give a mean many times too large or too small.
    const double mean = meanSum / meanCount;
    meanCount = 0;
    meanSum = 0.0;
    if (mean > peakMaxAvr) peakMaxAvr = mean;
    if (mean < peakMinAvr) peakMinAvr = mean;

    const double diff = mean - zeroValue;
    meanText = FormatValue(diff);
    const double nominal = deviceParameters.nominalValue;
    if (diff > nominal || diff < -nominal) overloadHoldOff = kOverloadHoldOff;
    minText = FormatValue(peakMin - zeroValue);
    maxText = FormatValue(peakMax - zeroValue);
    minAvrText = FormatValue(peakMinAvr - zeroValue);
    maxAvrText = FormatValue(peakMaxAvr - zeroValue);

    if (!singleShotRequest && !autoRecording && !keyCaptureRequest) return;
    StoreDataSet(raw, diff);
    stored = true;
}

void TMeasData::StoreDataSet(std::int16_t raw, double diff) {
    // A full table gives up its oldest data set (the row behind the newest).
    if (GetDataSetCount() == dataListSize)
        unlistedReplacedOldest = true;
    if (++dataListPos >= dataListSize) {
        dataListPos = 0;
        dataListWrapped = true;
    }
    ++unlistedDataSets;
    const int row = dataListPos;
    tDataListArray& r = dataList[static_cast<std::size_t>(row)];
    r.meanText = meanText;
    r.minText = minText;
    r.maxText = maxText;
    r.minAvrText = minAvrText;
    r.maxAvrText = maxAvrText;
    r.rawText.clear();
    fmt::format_to(std::back_inserter(r.rawText), "{}", raw);
    const CivilDateTime when = DecodeDateTime(sampleTime);
    r.msText.clear();
    fmt::format_to(std::back_inserter(r.msText), "{:03}", when.millisecond);
    const RegionalSettings& formats = regional();
    r.timeText = formats.FormatLongTime(when);
    r.dateText = formats.FormatShortDate(when);
    r.timestamp = sampleTime;
    dataSetSink().DataSetStored(*this, row);

    ++meanOfMeansCount;
    meanOfMeansSum += diff;
    if (meanOfMeansCount > kMeanOfMeansLimit) {
        // Keeps the sum from growing without end; the mean stays the same.
        meanOfMeansSum /= 10;
        meanOfMeansCount /= 10;
    }
    meanOfMeansText = FormatValue(meanOfMeansSum / meanOfMeansCount) + " " + deviceParameters.unitText;

    // The requests are served before the hand-off: typing and starting a program take
    // time in which a timer tick may run this cycle again, and it must find nothing to store.
    const bool single = singleShotRequest;
    const bool keyCapture = keyCaptureRequest;
    singleShotRequest = false;
    keyCaptureRequest = false;
    if (single || keyCapture) {
        if (settings.WriteToKeyBuffer && keyCapture)
            TypeIntoKeyBuffer(meanText);
        externalProgram().HandOver(*this, row);
    } else {
        FeedChart();
    }
}

void TMeasData::FeedChart() {
    // At most about one point per 100 ms of measurement reaches the chart.
    const int step = averagingCount >= 100 ? 1 : 100 / averagingCount;
    WindowPort& chart = window();
    if (dataListPos % step == 0) {
        const std::string* texts[kChartSlots] = {&meanText, &minText, &maxText, &minAvrText, &maxAvrText};
        const std::string separator = regional().DecimalSeparator();
        for (int slot = 0; slot < kChartSlots; ++slot) {
            if (!chart.IsSeriesChecked(slot)) continue;
            // The row being overwritten had placed this point.
            if (dataListWrapped) chart.ChartDeletePoint(slot, dataListPos / step);
            // A text that shows no finite number gives no point.
            if (const auto y = ParseValueText(*texts[slot], separator))
                chart.ChartAddPoint(slot, dataListPos, *y);
        }
    }
    if (dataListPos == 0) chart.ChartZoomAll();
}

}  // namespace kantrel
