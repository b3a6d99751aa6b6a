// The refresh tick: it goes on while a box it opened is showing, lists every data set
// stored since the last tick, and saves once after a lost connection.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "device/device_parameters.h"
#include "form_fixture.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/measurement_fixture.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"

namespace kantrel::test {
namespace {

class RefreshTickTest : public FormTest {
protected:
    // The data set of `raw` (a single shot when asked) makes the tick open `box`; the
    // tick returns with the box open and goes on behind it.
    void ExpectTickGoesOnBehindItsBox(std::int16_t raw, bool singleShot, const Box& box) {
        ui::TForm1& f = *form;
        boxes.holdBoxes = true;
        if (singleShot)
            f.ButtonSingleShot->click();
        FeedAndTick(1, raw);
        ASSERT_EQ(boxes.heldBoxes.size(), 1u) << "the tick waited for its box";
        EXPECT_EQ(boxes.messages, std::vector<Box>{box});

        // Behind the open box: live values, a single shot listed, the same failure again.
        f.ButtonSingleShot->click();
        FeedAndTick(1, 7);
        EXPECT_EQ(f.meas300->text().toStdString(), FormatValue(7.0) + " N");
        EXPECT_EQ(f.listModel->LineCount(), singleShot ? 2 : 1);
        if (singleShot)
            f.ButtonSingleShot->click();
        FeedAndTick(1, raw);
        EXPECT_EQ(boxes.messages.size(), 1u) << "one box at a time";
        EXPECT_EQ(measData->ringReadIndex, measData->ringWriteIndex);
    }
};

// A box opened by the tick used to hold it in the box's own event loop: values frozen,
// the data set just taken not listed, the ring full, until the operator closed it.
TEST_F(RefreshTickTest, CalibrationErrorBoxDoesNotHoldTheTick) {
    StartConnected();
    // Readings above 1000 fall on a segment without width.
    deviceParameters.calPointCount = 3;
    deviceParameters.calInput = {0, 1000, 1000, 0, 0};
    deviceParameters.calOutput = {0, 1000, 1000, 0, 0};
    ExpectTickGoesOnBehindItsBox(2000, false, {"Sensor Calibration Error", "Error"});
    EXPECT_TRUE(calErrorShowing);
    ASSERT_TRUE(boxes.CloseBox());
    EXPECT_FALSE(calErrorShowing);
}

TEST_F(RefreshTickTest, ExternalProgramErrorBoxDoesNotHoldTheTick) {
    StartConnected();
    settings.extProgramm = "missing";
    fakes.launcher.result = 2;
    ExpectTickGoesOnBehindItsBox(5, true, {"File 'missing' not found!", "Error"});
    EXPECT_EQ(fakes.launcher.calls.size(), 3u); // one start per data set
}

TEST_F(RefreshTickTest, IndexErrorBoxDoesNotHoldTheList) {
    ui::TForm1& f = StartForm();
    boxes.holdBoxes = true;
    f.AddDataLine(0, kDataListSize);
    f.AddDataLine(1, -1);
    EXPECT_EQ(boxes.messages, (std::vector<Box>{{"Index Error in AddDataLine()", "Error"}}));
    EXPECT_EQ(f.listModel->LineCount(), 2);
}

// The tick listed only the newest row of those stored since the last tick.
TEST_F(RefreshTickTest, EveryDataSetStoredInATickIsListedAndDrawnInOrder) {
    struct Sample {
        char code;
        std::int16_t raw;
        int count;
    };
    const struct {
        const char* name;
        bool singleShot; // clicked before the tick's samples arrive
        std::vector<Sample> samples;
        std::vector<std::int16_t> stored; // readings of the data sets, oldest first
    } cases[] = {
        {"two instrument-key presses 71 ms apart",
         false,
         {{0, 1, 100}, {'3', 10, 1}, {0, 2, 70}, {'3', 20, 1}},
         {10, 20}},
        {"a single shot and an instrument-key press",
         true,
         {{0, 30, 1}, {0, 3, 100}, {'3', 40, 1}},
         {30, 40}},
        {"the first tick after a stall",
         true,
         {{0, 50, 1}, {0, 4, 300}, {'3', 60, 1}, {0, 5, 300}, {'3', 70, 1}, {0, 6, 290}},
         {50, 60, 70}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui::TForm1& f = StartConnected();
        settings.useSelKeySingleShot = 1;
        if (c.singleShot)
            f.ButtonSingleShot->click();
        for (const Sample& sample : c.samples)
            PushSamples(*measData, sample.count, sample.raw, sample.code);
        f.TimerGetMeasTimer();

        const int n = static_cast<int>(c.stored.size());
        ASSERT_EQ(measData->GetDataListPos(), n - 1);
        ASSERT_EQ(f.listModel->LineCount(), n);
        QCPGraph* values = f.Chart1->Series(ui::kSlotValue);
        ASSERT_EQ(values->data()->size(), n);
        for (int i = 0; i < n; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(f.listModel->Cell(i, 0), QString::number(i + 1));
            EXPECT_EQ(f.listModel->Cell(i, 4).toStdString(),
                      FormatValue(c.stored[static_cast<std::size_t>(i)]));
            EXPECT_EQ(values->data()->at(i)->key, i + 1.0);
            EXPECT_EQ(values->data()->at(i)->value, c.stored[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(f.State->text(), QStringLiteral("%1 / 10240").arg(n));
        form.reset(); // closes the window and destroys the store
    }
}

// Code '5' in the tick right after STOP AUTO: the rebuild saved because the recording had
// ended with the connection lost, and the same tick saved again for the loss itself.
TEST_F(RefreshTickTest, ConnectionLostRightAfterStopSavesOnce) {
    ui::TForm1& f = StartConnected();
    f.Start->click();
    FeedAndTick(30, 4);
    f.Stop->click();
    PushSample(*measData, '5', 4);
    f.TimerGetMeasTimer();
    EXPECT_EQ(f.listModel->LineCount(), 30 + 1);
    EXPECT_EQ(f.ErrorString->text(), QStringLiteral("No connection to Tensolog"));
    EXPECT_EQ(Saves(), 1);
    f.TimerGetMeasTimer();
    EXPECT_EQ(Saves(), 1);
}

} // namespace
} // namespace kantrel::test
