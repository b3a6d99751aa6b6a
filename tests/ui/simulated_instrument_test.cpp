// The window on the simulated instrument, through the real device link and its threads,
// on a manual clock: the readout, the live value, recording and the instrument's
// commands, a lost connection, a missing instrument and a close during the readout.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "device/connection.h"
#include "measure/format_value.h"
#include "measure/meas_data.h"
#include "simulated_form_fixture.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"

namespace kantrel::test {
namespace {

class SimulatedInstrumentTest : public SimulatedFormTest {};

TEST_F(SimulatedInstrumentTest, ReadoutShowsTheInstrumentAndTheLiveValue) {
    Open();
    RunUntilReady();
    ui::TForm1& f = *form;
    EXPECT_EQ(f.Label1->text(), QStringLiteral("Tensolog SIM 1.0"));
    EXPECT_EQ(f.SerialDev->text(), QStringLiteral("D731-0001"));
    EXPECT_EQ(f.SerialSens->text(), QStringLiteral("S1000N-0001"));
    EXPECT_EQ(f.NomVal->text().toStdString(), FormatValue(1000.0).substr(1) + " N");
    EXPECT_NEAR(ShownMean(), 250.0, 0.5);
    EXPECT_EQ(f.State->text(), QStringLiteral("0 / 10240"));
    for (QWidget* w : {static_cast<QWidget*>(f.ButtonSingleShot), static_cast<QWidget*>(f.Start),
                       static_cast<QWidget*>(f.loadFromFile), static_cast<QWidget*>(f.ButtonZoom)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(SimulatedInstrumentTest, SingleShotsAndAnAutomaticRecordingThroughTheLink) {
    Open();
    RunUntilReady();
    ui::TForm1& f = *form;
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        if (!f.IsSeriesChecked(slot))
            f.SeriesCheckBox(slot)->click();
    f.ButtonSingleShot->click();
    Run(200);
    ASSERT_EQ(f.listModel->LineCount(), 1);
    EXPECT_EQ(f.listModel->Cell(0, 0), QStringLiteral("1"));
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        EXPECT_EQ(f.Chart1->PointCount(slot), 1) << slot;

    f.ClrAll->click();
    f.Start->click();
    Run(1000); // averaging 100 ms: about ten data sets
    f.Stop->click();
    Run(100);
    const int recorded = measData->GetDataListPos() + 1;
    EXPECT_GE(recorded, 9);
    EXPECT_EQ(f.listModel->LineCount(), recorded + 1);
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), recorded);
}

TEST_F(SimulatedInstrumentTest, ZeroAndAutomaticPeakClearReachTheInstrument) {
    WriteSettings("[Config]\nClrPeakAfterSingleShot=1\nTimerClrPeakMs=250\n");
    Open();
    RunUntilReady();
    form->Zero->click();
    Run(1500); // the instrument starts a zeroing of 1000 readings
    EXPECT_TRUE(Sent("#A03"));
    EXPECT_NEAR(ShownMean(), 0.0, 0.5);

    form->ButtonSingleShot->click();
    EXPECT_FALSE(Sent("#B03"));
    form->TimerZeroSingleTimer(); // 250 ms later
    EXPECT_TRUE(Sent("#B03"));
}

TEST_F(SimulatedInstrumentTest, LostConnectionIsShownAndTheDataSetsSaved) {
    sim::Scenario scenario = SteadyScenario();
    scenario.connectionLostAtMs = 2000;
    Open(scenario);
    RunUntilReady();
    Run(2500);
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("No connection to Device"));
    EXPECT_FALSE(form->ButtonSingleShot->isEnabled());
    EXPECT_EQ(Saves(), 1);
}

TEST_F(SimulatedInstrumentTest, MissingInstrumentIsReported) {
    sim::Scenario scenario = SteadyScenario();
    scenario.present = false;
    Open(scenario);
    EXPECT_EQ(form->ErrorString->text(), QStringLiteral("Tensolog not found"));
    EXPECT_FALSE(form->TimerInit2->IsActive());
    EXPECT_TRUE(form->loadFromFile->isEnabled());
    EXPECT_FALSE(form->ButtonSingleShot->isEnabled());
}

TEST_F(SimulatedInstrumentTest, ClosingDuringTheReadoutStopsTheThreadsBeforeTheStore) {
    Open();
    Run(300);
    ASSERT_NE(CommandThread(), nullptr);
    form->close();
    EXPECT_EQ(CommandThread(), nullptr);
    EXPECT_EQ(MeasuringThread(), nullptr);
    EXPECT_EQ(measData, nullptr);
    EXPECT_FALSE(form->Chart1->HasSeries());
}

} // namespace
} // namespace kantrel::test
