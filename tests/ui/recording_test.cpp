// Recording data sets: single shots into the list and the chart, CLR LAST, CLR ALL,
// automatic recording with its wrap-around and rebuild, the lost connection, the
// automatic peak clear and the live values.

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTreeView>

#include "core/link_flags.h"
#include "device/device_parameters.h"
#include "files/data_file_writer.h"
#include "form_fixture.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/measurement_fixture.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/pattern_ticker.h"

namespace kantrel::test {
namespace {

class RecordingTest : public FormTest {
protected:
    // Started, connected, averaging count 1 (every sample completes a mean).
    ui::TForm1& Ready(int averagingCount = 1) { return StartConnected(averagingCount); }
    void TickAllSeries() {
        for (int slot = 0; slot < ui::kSeriesSlots; ++slot) {
            if (!form->IsSeriesChecked(slot))
                form->SeriesCheckBox(slot)->click();
        }
    }
    void SingleShot(std::int16_t raw) {
        form->ButtonSingleShot->click();
        FeedAndTick(1, raw);
    }
    // Samples with raw values first, first+1, ... (wrapping inside int16), ticking as
    // the ring needs.
    void FeedCounting(int count, int first) {
        for (int i = 0; i < count; ++i) {
            PushSample(*measData, 0, static_cast<std::int16_t>((first + i) % 30000));
            if ((i + 1) % 900 == 0)
                form->TimerGetMeasTimer();
        }
        form->TimerGetMeasTimer();
    }
    // The data lines of the list (the blank line below a recording left out) and the
    // data lines that SAVE and the clipboard write, both as TAB-joined fields.
    std::vector<std::string> ListedLines() const {
        std::vector<std::string> lines;
        for (int line = 0; line < form->listModel->LineCount(); ++line) {
            if (form->listModel->Cell(line, 0).isEmpty())
                continue;
            QStringList cells;
            for (int column = 0; column < ui::DataSetListModel::kColumns; ++column)
                cells.append(form->listModel->Cell(line, column));
            lines.push_back(cells.join(QLatin1Char('\t')).toStdString());
        }
        return lines;
    }
    std::vector<std::string> SavedLines() const {
        std::vector<std::string> lines = BuildDataSetLines(ListCaptions{}, *measData, sampleRateIndex);
        lines.erase(lines.begin()); // the header
        return lines;
    }
    // SAVE writes exactly what the list shows, in its order; the Value column holds the
    // readings `first`..`last` and then `extra`.
    void ExpectSavedAsListed(int first, int last, const std::vector<int>& extra = {}) {
        const std::vector<std::string> listed = ListedLines();
        const std::vector<std::string> saved = SavedLines();
        ASSERT_EQ(saved.size(), listed.size());
        const auto differ = std::mismatch(saved.begin(), saved.end(), listed.begin());
        ASSERT_TRUE(differ.first == saved.end())
            << "saved: " << *differ.first << "\nlisted: " << *differ.second;
        std::vector<int> readings;
        for (int r = first; r <= last; ++r)
            readings.push_back(r);
        readings.insert(readings.end(), extra.begin(), extra.end());
        ASSERT_EQ(listed.size(), readings.size());
        for (std::size_t i : {std::size_t{0}, readings.size() - 1}) {
            SCOPED_TRACE(i);
            EXPECT_EQ(form->listModel->Cell(static_cast<int>(i), 4).toStdString(), FormatValue(readings[i]));
        }
        EXPECT_EQ(form->State->text(), QStringLiteral("%1 / 10240").arg(readings.size()));
    }
    std::vector<double> Ys(int slot) const {
        std::vector<double> ys;
        QCPGraph* graph = form->Chart1->Series(slot);
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            ys.push_back(it->value);
        return ys;
    }
    std::vector<double> Xs(int slot) const {
        std::vector<double> xs;
        QCPGraph* graph = form->Chart1->Series(slot);
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            xs.push_back(it->key);
        return xs;
    }
};

TEST_F(RecordingTest, LiveValuesAndCounterBeforeAnyDataSet) {
    ui::TForm1& f = Ready();
    FeedAndTick(5, 7);
    const QString unit = QStringLiteral(" N");
    EXPECT_EQ(f.meas300->text(), QString::fromStdString(measData->GetMeanText()) + unit);
    EXPECT_EQ(f.pkMax->text(), QString::fromStdString(measData->GetMaxText()) + unit);
    EXPECT_EQ(f.pkMin->text(), QString::fromStdString(measData->GetMinText()) + unit);
    EXPECT_EQ(f.pkMaxAvr->text(), QString::fromStdString(measData->GetMaxAvrText()) + unit);
    EXPECT_EQ(f.pkMinAvr->text(), QString::fromStdString(measData->GetMinAvrText()) + unit);
    EXPECT_EQ(f.meas300->text().toStdString(), FormatValue(7.0) + " N");
    EXPECT_EQ(f.State->text(), QStringLiteral("0 / 10240"));
    EXPECT_EQ(f.listModel->LineCount(), 0);
    EXPECT_EQ(f.TrumakCompany->text(), QStringLiteral("---"));
    EXPECT_EQ(f.Label14->text(), QStringLiteral(" 0"));
}

TEST_F(RecordingTest, SingleShotGivesListLineOneAndAPointInEveryTickedSeries) {
    ui::TForm1& f = Ready();
    TickAllSeries();
    SingleShot(42);
    ASSERT_EQ(f.listModel->LineCount(), 1);
    EXPECT_EQ(f.listModel->Cell(0, 0), QStringLiteral("1"));
    const std::string cells[] = {measData->GetRowDate(0),   measData->GetRowTime(0),  measData->GetRowMs(0),
                                 measData->GetRowMean(0),   measData->GetRowMin(0),   measData->GetRowMax(0),
                                 measData->GetRowMinAvr(0), measData->GetRowMaxAvr(0)};
    for (int c = 1; c < 9; ++c)
        EXPECT_EQ(f.listModel->Cell(0, c).toStdString(), cells[c - 1]);
    EXPECT_EQ(f.State->text(), QStringLiteral("1 / 10240"));
    EXPECT_DOUBLE_EQ(f.firstDataSetTime, measData->GetRowTimestamp(0));
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(Xs(slot), std::vector<double>{1.0});
        EXPECT_EQ(Ys(slot), std::vector<double>{42.0});
    }
    EXPECT_EQ(f.listModel->Caption(4), QStringLiteral("[Value] = N"));
    EXPECT_EQ(f.Chart1->yAxis->label(), QStringLiteral("[Value] = N"));
    EXPECT_TRUE(f.Chart1->LeftAutoScale());
    EXPECT_EQ(f.TrumakCompany->text().toStdString(), FormatValue(42.0) + " N");
    EXPECT_EQ(f.Label14->text(), QStringLiteral(" 1"));
}

TEST_F(RecordingTest, UntickedSeriesGetNoPoints) {
    ui::TForm1& f = Ready(); // defaults: Max, Min and Value ticked
    SingleShot(5);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 1);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotMin), 1);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotMax), 1);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotMinAvr), 0);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotMaxAvr), 0);
}

TEST_F(RecordingTest, ThreeSingleShotsThenClearLastThreeTimes) {
    ui::TForm1& f = Ready();
    TickAllSeries();
    SingleShot(10);
    SingleShot(20);
    SingleShot(30);
    ASSERT_EQ(f.listModel->LineCount(), 3);
    EXPECT_EQ(f.listModel->Cell(2, 0), QStringLiteral("3"));
    EXPECT_EQ(Xs(ui::kSlotValue), (std::vector<double>{1, 2, 3}));

    f.ClrLast->click();
    EXPECT_EQ(f.listModel->LineCount(), 2);
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        EXPECT_EQ(Xs(slot), (std::vector<double>{1, 2}));
    EXPECT_EQ(Ys(ui::kSlotValue), (std::vector<double>{10, 20}));
    EXPECT_EQ(Ys(ui::kSlotMax), (std::vector<double>{10, 20}));
    f.TimerGetMeasTimer();
    EXPECT_EQ(f.State->text(), QStringLiteral("2 / 10240"));
    EXPECT_TRUE(f.saveToFile->isEnabled());

    f.ClrLast->click();
    EXPECT_TRUE(f.saveToFile->isEnabled());
    EXPECT_TRUE(f.ButtonExcel->isEnabled());
    f.ClrLast->click();
    EXPECT_EQ(f.listModel->LineCount(), 0);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 0);
    EXPECT_FALSE(f.saveToFile->isEnabled());
    EXPECT_FALSE(f.ButtonExcel->isEnabled());
    f.TimerGetMeasTimer();
    EXPECT_EQ(f.State->text(), QStringLiteral("0 / 10240"));
}

TEST_F(RecordingTest, ClearLastLeavesASeriesWithoutThatPointUnchanged) {
    ui::TForm1& f = Ready();
    SingleShot(10);
    SingleShot(20);
    f.CheckBPeakfilteredUp->setEnabled(true);
    f.CheckBPeakfilteredUp->click(); // ticked now, but it has no points
    f.ClrLast->click();
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 1);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotMaxAvr), 0);
}

TEST_F(RecordingTest, TimeModesPlaceDataSetsBySecondsSinceTheFirst) {
    WriteSettings("[Config]\ngraficMode=1\n");
    ui::TForm1& f = Ready();
    SingleShot(1);
    FeedAndTick(499, 1);
    SingleShot(2);
    FeedAndTick(1499, 1);
    SingleShot(3);
    const std::vector<double> xs = Xs(ui::kSlotValue);
    ASSERT_EQ(xs.size(), 3u);
    EXPECT_NEAR(xs[0], 0.0, 1e-6);
    EXPECT_NEAR(xs[1], 0.5, 1e-6);
    EXPECT_NEAR(xs[2], 2.0, 1e-6);
    EXPECT_EQ(f.Chart1->BottomTicker().LabelStep(), 0.001);
}

TEST_F(RecordingTest, ClearAllEmptiesListChartCounterAndMeanOfMeans) {
    ui::TForm1& f = Ready();
    SingleShot(10);
    SingleShot(20);
    f.ClrAll->click();
    EXPECT_EQ(f.listModel->LineCount(), 0);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 0);
    EXPECT_EQ(f.State->text(), QString());
    EXPECT_EQ(measData->GetDataListPos(), -1);
    EXPECT_EQ(meanOfMeansCount, 0);
    EXPECT_EQ(meanOfMeansText, "---");
    EXPECT_TRUE(f.RadioGroupGraficMode->isEnabled());
}

TEST_F(RecordingTest, FirstSingleShotAfterALoadedFileClearsItFirst) {
    ui::TForm1& f = Ready();
    f.listModel->AppendLine({QStringLiteral("1"), QStringLiteral("loaded")});
    f.Chart1->AddPoint(ui::kSlotValue, 1, 99);
    f.dataLoadedFromFile = true;
    f.ButtonSingleShot->click();
    EXPECT_FALSE(f.dataLoadedFromFile);
    EXPECT_EQ(f.listModel->LineCount(), 0);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 0);
    FeedAndTick(1, 5);
    EXPECT_EQ(f.listModel->LineCount(), 1);
    f.ButtonSingleShot->click(); // later shots do not clear
    FeedAndTick(1, 6);
    EXPECT_EQ(f.listModel->LineCount(), 2);
}

TEST_F(RecordingTest, WithoutConnectionTheRecordingKeysDoNothing) {
    ui::TForm1& f = Ready();
    SingleShot(10);
    instrumentConnected.store(false);
    f.ButtonSingleShotClick();
    EXPECT_FALSE(measData->singleShotRequest);
    f.StartClick();
    EXPECT_FALSE(measData->IsAutoRecording());
    f.ClrLastClick();
    EXPECT_EQ(f.listModel->LineCount(), 1);
    f.ClrAllClick(); // clears the window, not the table
    EXPECT_EQ(f.listModel->LineCount(), 0);
    EXPECT_EQ(measData->GetDataListPos(), 0);
}

TEST_F(RecordingTest, AutomaticRecordingWrapsAndIsRebuiltOldestFirst) {
    ui::TForm1& f = Ready();
    TickAllSeries();
    SingleShot(1); // cleared by the start
    f.Start->click();
    EXPECT_EQ(f.listModel->LineCount(), 0);
    EXPECT_EQ(meanOfMeansCount, 0);

    const int total = kDataListSize + 60;
    FeedCounting(total, 0);
    EXPECT_TRUE(measData->IsDataListWrapped());
    EXPECT_EQ(measData->GetDataListPos(), 59);
    EXPECT_EQ(f.listModel->LineCount(), 0); // the list waits for the end
    // The processing fed the chart one point per 100 data sets, at table positions.
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 103);
    EXPECT_EQ(Xs(ui::kSlotMaxAvr).front(), 0.0);

    f.Stop->click();
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 0);
    f.show();
    f.TimerGetMeasTimer();
    ASSERT_EQ(f.listModel->LineCount(), kDataListSize + 1);
    QCoreApplication::processEvents();
    QScrollBar* scroll = f.ListView1->verticalScrollBar();
    EXPECT_GT(scroll->maximum(), 0);
    EXPECT_EQ(scroll->value(), scroll->maximum()); // the newest line and the blank line in view
    EXPECT_EQ(f.State->text(), QStringLiteral("10240 / 10240"));
    EXPECT_EQ(measData->GetDataListPos(), kDataListSize - 1);
    // Oldest first: data set 60 is line 1, data set 10299 line 10240.
    EXPECT_EQ(f.listModel->Cell(0, 0), QStringLiteral("1"));
    // The table is in time order from the rebuild on: the oldest in row 0.
    EXPECT_EQ(f.listModel->Cell(0, 4).toStdString(), measData->GetRowMean(0));
    EXPECT_EQ(f.listModel->Cell(0, 4).toStdString(), FormatValue(60.0));
    EXPECT_EQ(f.listModel->Cell(kDataListSize - 1, 0), QStringLiteral("10240"));
    EXPECT_EQ(f.listModel->Cell(kDataListSize - 1, 4).toStdString(), FormatValue(10299.0));
    EXPECT_EQ(f.listModel->Cell(kDataListSize, 0), QString()); // the blank line
    EXPECT_DOUBLE_EQ(f.firstDataSetTime, measData->GetRowTimestamp(0));
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        EXPECT_EQ(f.Chart1->PointCount(slot), kDataListSize);
    EXPECT_EQ(Xs(ui::kSlotValue).back(), kDataListSize);
    EXPECT_TRUE(f.Start->isEnabled());
    EXPECT_FALSE(f.Stop->isEnabled());
    EXPECT_FALSE(f.RadioGroupGraficMode->isEnabled());
    EXPECT_EQ(f.ErrorString->text(), QString());
    EXPECT_EQ(Saves(), 0);
}

// The rebuild of a wrapped recording put the position on the last row while the newest
// data set sat lower: SAVE wrote the data sets out of time order, the next single shot
// overwrote a recent one instead of the oldest, and CLR LAST left the data set it took
// from the list in the file.
TEST_F(RecordingTest, SaveWritesWhatTheListShowsAfterAWrappedRecordingSingleShotsAndClearLast) {
    ui::TForm1& f = Ready();
    f.Start->click();
    FeedCounting(kDataListSize + 60, 0); // readings 0 to 10299
    f.Stop->click();
    f.TimerGetMeasTimer(); // the rebuild
    ExpectSavedAsListed(60, 10299);

    SingleShot(20000); // replaces the oldest
    ExpectSavedAsListed(61, 10299, {20000});
    f.ClrLast->click();
    f.TimerGetMeasTimer();
    ExpectSavedAsListed(61, 10299);
    SingleShot(20001); // takes the free row
    ExpectSavedAsListed(61, 10299, {20001});
    SingleShot(20002);
    ExpectSavedAsListed(62, 10299, {20001, 20002});
    EXPECT_EQ(Xs(ui::kSlotValue).size(), static_cast<std::size_t>(kDataListSize));
    EXPECT_EQ(Ys(ui::kSlotValue).front(), 62.0);
    EXPECT_EQ(Ys(ui::kSlotValue).back(), 20002.0);
}

// After a recording the list ends with a blank line, and single shots are listed below it.
TEST_F(RecordingTest, ClearLastAfterARecordingAndASingleShotRemovesThatSingleShot) {
    ui::TForm1& f = Ready();
    TickAllSeries();
    f.Start->click();
    FeedCounting(3, 1);
    f.Stop->click();
    f.TimerGetMeasTimer();
    SingleShot(40);
    ASSERT_EQ(f.listModel->LineCount(), 5); // three, the blank line, the single shot
    f.ClrLast->click();
    f.TimerGetMeasTimer();
    ExpectSavedAsListed(1, 3);
    EXPECT_EQ(f.listModel->LineCount(), 4);
    EXPECT_EQ(f.listModel->Cell(3, 0), QString()); // the blank line stays
    EXPECT_EQ(Ys(ui::kSlotValue), (std::vector<double>{1, 2, 3}));
}

TEST_F(RecordingTest, RecordingStoppedBeforeAnyDataSetLeavesTheBlankLine) {
    ui::TForm1& f = Ready(100);
    f.Start->click();
    FeedAndTick(50, 3); // no mean completes
    f.Stop->click();
    f.TimerGetMeasTimer();
    ASSERT_EQ(f.listModel->LineCount(), 1);
    EXPECT_EQ(f.listModel->Cell(0, 0), QString());
    EXPECT_TRUE(f.ButtonSingleShot->isEnabled());
    EXPECT_EQ(f.State->text(), QStringLiteral("0 / 10240"));
}

TEST_F(RecordingTest, LostConnectionDuringRecordingStopsRebuildsAndSavesOnce) {
    ui::TForm1& f = Ready();
    f.Start->click();
    FeedAndTick(30, 4);
    PushSample(*measData, '5', 4);
    f.TimerGetMeasTimer(); // the loss: recording stopped
    EXPECT_FALSE(measData->IsAutoRecording());
    EXPECT_FALSE(f.Stop->isEnabled());
    EXPECT_EQ(Saves(), 0);
    f.TimerGetMeasTimer(); // the rebuild, then the save
    EXPECT_EQ(f.listModel->LineCount(), 31 + 1);
    EXPECT_EQ(f.ErrorString->text(), QStringLiteral("No connection to Tensolog"));
    EXPECT_EQ(Saves(), 1);
    f.TimerGetMeasTimer();
    EXPECT_EQ(Saves(), 1);
}

TEST_F(RecordingTest, LostConnectionWithoutRecordingSavesAtOnceAndOnlyOnce) {
    ui::TForm1& f = Ready();
    SingleShot(3);
    PushSample(*measData, '5', 0);
    f.TimerGetMeasTimer();
    EXPECT_EQ(Saves(), 1);
    PushSample(*measData, '5', 0);
    f.TimerGetMeasTimer();
    EXPECT_EQ(Saves(), 1);
}

TEST_F(RecordingTest, OverloadMarkFollowsTheHoldOff) {
    ui::TForm1& f = Ready();
    FeedAndTick(1, 1001); // beyond the nominal value 1000
    EXPECT_FALSE(f.LabelOverflow->isHidden());
    FeedAndTick(kOverloadHoldOff - 1, 1);
    EXPECT_FALSE(f.LabelOverflow->isHidden());
    FeedAndTick(1, 1);
    EXPECT_TRUE(f.LabelOverflow->isHidden());
}

TEST_F(RecordingTest, AutomaticPeakClearIsTimedFromTheFirstOfQuickClicks) {
    WriteSettings("[Config]\nClrPeakAfterSingleShot=1\nTimerClrPeakMs=250\n");
    ui::TForm1& f = Ready();
    f.ButtonSingleShot->click();
    ASSERT_TRUE(f.TimerZeroSingle->IsActive());
    auto* timer = dynamic_cast<ManualTimer*>(f.TimerZeroSingle.get());
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval, 250);
    timer->interval = -1; // a restart would set it again
    f.ButtonSingleShot->click();
    EXPECT_EQ(timer->interval, -1);
    f.TimerZeroSingleTimer();
    EXPECT_FALSE(f.TimerZeroSingle->IsActive());
}

TEST_F(RecordingTest, PeakClearCheckBoxAndKeyBufferCheckBoxStoreTheirKeys) {
    WriteSettings("[Config]\nShowClrPeakCheckBox=1\nShowKeyBufCheckBox=1\n");
    ui::TForm1& f = Ready();
    f.CheckBoxAutoClrPeak->click();
    EXPECT_TRUE(settings.ClrPeakAfterSingleShot);
    EXPECT_NE(ReadSettingsFile().find("ClrPeakAfterSingleShot=1"), std::string::npos);
    f.CheckBoxToKeyBuf->click();
    EXPECT_NE(ReadSettingsFile().find("WriteToKeyBuffer=1"), std::string::npos);
    EXPECT_NE(ReadSettingsFile().find("useSelKeySingleShot=1"), std::string::npos);
    f.CheckBoxToKeyBuf->click();
    EXPECT_NE(ReadSettingsFile().find("WriteToKeyBuffer=0"), std::string::npos);
    EXPECT_NE(ReadSettingsFile().find("useSelKeySingleShot=0"), std::string::npos);
    EXPECT_EQ(settings.useSelKeySingleShot, 0);
}

} // namespace
} // namespace kantrel::test
