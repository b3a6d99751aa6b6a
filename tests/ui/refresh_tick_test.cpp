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

} // namespace
} // namespace kantrel::test
