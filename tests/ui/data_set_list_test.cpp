// The list operations: header captions with the unit, data lines, the blank line and a
// bad table row.

#include <QCheckBox>
#include <QTreeView>

#include "device/device_parameters.h"
#include "form_fixture.h"
#include "measure/meas_data.h"
#include "support/measurement_fixture.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"

namespace kantrel::test {
namespace {

class DataSetListTest : public FormTest {};

TEST_F(DataSetListTest, HeaderCarriesTheUnitOrNothingWithoutParameters) {
    ui::TForm1& f = StartForm();
    f.BuildHeader();
    const char* bare[] = {
        "[Diff] = ms", "[Value] = ", "[Min] = ", "[Max] = ", "[MinFilt] = ", "[MaxFilt] = "};
    for (int c = 3; c < 9; ++c)
        EXPECT_EQ(f.listModel->Caption(c), QString::fromLatin1(bare[c - 3]));
    EXPECT_EQ(f.Chart1->yAxis->label(), QStringLiteral("[Value] = "));

    UseIdentityParameters();
    f.BuildHeader();
    const char* withUnit[] = {"[Diff] = ms", "[Value] = N",   "[Min] = N",
                              "[Max] = N",   "[MinFilt] = N", "[MaxFilt] = N"};
    for (int c = 3; c < 9; ++c)
        EXPECT_EQ(f.listModel->Caption(c), QString::fromLatin1(withUnit[c - 3]));
    EXPECT_EQ(f.listModel->Caption(0), QStringLiteral("Number"));
}

TEST_F(DataSetListTest, BadRowIsReportedAndRowZeroShown) {
    ui::TForm1& f = StartForm();
    ASSERT_NE(measData, nullptr);
    measData->SetRowMean(0, "1,500");
    for (int row : {kDataListSize, -1}) {
        SCOPED_TRACE(row);
        boxes.messages.clear();
        f.listModel->Clear();
        f.AddDataLine(0, row);
        EXPECT_EQ(boxes.messages, (std::vector<Box>{{"Index Error in AddDataLine()", "Error"}}));
        ASSERT_EQ(f.listModel->LineCount(), 1);
        EXPECT_EQ(f.listModel->Cell(0, 0), QStringLiteral("1"));
        EXPECT_EQ(f.listModel->Cell(0, 4), QStringLiteral("1,500"));
    }
}

TEST_F(DataSetListTest, LinesCopyTheRowsAndTheBlankLineEndsTheList) {
    ui::TForm1& f = StartForm();
    measData->SetRowDate(7, "09.12.2025");
    measData->SetRowTime(7, "12:00:00");
    measData->SetRowMs(7, "042");
    measData->SetRowMean(7, "1,000");
    measData->SetRowMin(7, "0,500");
    measData->SetRowMax(7, "1,500");
    measData->SetRowMinAvr(7, "0,750");
    measData->SetRowMaxAvr(7, "1,250");
    f.AddDataLine(4, 7);
    f.AddBlankLine();
    const char* cells[] = {"5", "09.12.2025", "12:00:00", "042", "1,000", "0,500", "1,500", "0,750", "1,250"};
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(f.listModel->Cell(0, c), QString::fromLatin1(cells[c]));
    ASSERT_EQ(f.listModel->LineCount(), 2);
    for (int c = 0; c < 9; ++c)
        EXPECT_EQ(f.listModel->Cell(1, c), QString());
    // Ticked series (Value, Min, Max by default) got the row's values at x = line + 1.
    EXPECT_EQ(f.Chart1->PointCount(ui::kSlotValue), 1);
    EXPECT_EQ(f.Chart1->Series(ui::kSlotMin)->data()->at(0)->value, 0.5);
    EXPECT_EQ(f.Chart1->Series(ui::kSlotMax)->data()->at(0)->key, 5.0);
}

TEST_F(DataSetListTest, TextThatShowsNoFiniteNumberGivesNoPoint) {
    ui::TForm1& f = StartForm();
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        f.SeriesCheckBox(slot)->setChecked(true);
    measData->SetRowMean(0, "n/a");
    measData->SetRowMin(0, "2,0");
    measData->SetRowMax(0, " inf");
    measData->SetRowMinAvr(0, " nan");
    measData->SetRowMaxAvr(0, "-1e999");
    f.AddDataLine(0, 0);
    const int points[ui::kSeriesSlots] = {0, 1, 0, 0, 0};
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(f.Chart1->PointCount(slot), points[slot]);
    }
    EXPECT_EQ(f.listModel->Cell(0, 4), QStringLiteral("n/a"));
    EXPECT_EQ(f.listModel->Cell(0, 6), QStringLiteral(" inf"));
}

} // namespace
} // namespace kantrel::test
