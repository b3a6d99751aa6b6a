// Where the chart puts its plot and its legend: the chart-mode group sits over the
// chart's right side, so the plot must stay clear of it and the legend whole, in every
// size and shape of the chart, with or without series.

#include <QGroupBox>

#include "form_fixture.h"
#include "support/test_environment.h"
#include "ui/data_set_chart.h"

namespace kantrel::test {
namespace {

class ChartLayoutTest : public FormTest {
protected:
    // A rectangle of the chart in the window's coordinates.
    QRect InForm(const QRect& chartRect) const { return chartRect.translated(form->Chart1->pos()); }
    QRect PlotArea() const { return InForm(form->Chart1->axisRect()->rect()); }
    QRect Legend() const { return InForm(form->Chart1->legend->outerRect()); }
    void LayOut() { form->Chart1->replot(QCustomPlot::rpImmediateRefresh); }
};

// After the legend went above the plot, the group covered the plot's right side and hid
// the newest points; in the narrowed chart the legend was cut; with no series the plot
// shrank to a strip.
TEST_F(ChartLayoutTest, PlotAreaStaysClearOfTheModeGroupAndTheLegendStaysWhole) {
    const struct {
        const char* name;
        const char* settings;
        bool startUpEndsEarly;
        QSize window;
    } cases[] = {
        {"default", "", false, {800, 562}},
        {"enlarged window", "", false, {1000, 700}},
        {"narrowed chart of the mean of means", "showMeanCompanyTrumak=1\n", false, {800, 562}},
        {"narrowed chart, enlarged window", "showMeanCompanyTrumak=1\n", false, {1000, 700}},
        {"start-up ended before the series", "", true, {800, 562}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteSettings(std::string("[Config]\n") + c.settings);
        if (c.startUpEndsEarly) // a file where the settings folder should go
            WriteFileBytes(IsolatedEnvironment::Root() + "/home/.config/Marvix", "not a folder");
        ui::TForm1& f = CreateForm();
        f.show();
        ASSERT_EQ(f.Chart1->HasSeries(), !c.startUpEndsEarly);
        f.resize(c.window);
        LayOut();

        const QRect group = f.RadioGroupGraficMode->geometry();
        EXPECT_FALSE(PlotArea().intersects(group)) << "plot " << PlotArea().x() << "+" << PlotArea().width();
        EXPECT_GE(PlotArea().width(), f.Chart1->width() / 2);
        EXPECT_GE(PlotArea().height(), f.Chart1->height() / 2);
        if (f.Chart1->HasSeries()) {
            EXPECT_TRUE(f.Chart1->geometry().contains(Legend())) << "legend cut";
            EXPECT_FALSE(Legend().intersects(group));
            EXPECT_FALSE(Legend().intersects(PlotArea()));
            for (int slot = 0; slot < ui::DataSetChart::kSlots; ++slot) {
                SCOPED_TRACE(slot);
                QCPAbstractLegendItem* item = f.Chart1->legend->itemWithPlottable(f.Chart1->Series(slot));
                ASSERT_NE(item, nullptr);
                EXPECT_GE(item->outerRect().width(), item->minimumOuterSizeHint().width()) << "title cut";
            }
        }
        form.reset();
        std::filesystem::remove_all(IsolatedEnvironment::Root() + "/home/.config/Marvix");
    }
}

} // namespace
} // namespace kantrel::test
