// The chart widget: series sets, points kept in x order and deleted by index, automatic
// scaling, and the axes of the three modes.

#include <QWheelEvent>

#include "form_fixture.h"
#include "ui/data_set_chart.h"
#include "ui/pattern_ticker.h"

namespace kantrel::ui {
namespace {

std::vector<std::pair<double, double>> Points(const DataSetChart& chart, int slot) {
    std::vector<std::pair<double, double>> points;
    QCPGraph* graph = chart.Series(slot);
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        points.emplace_back(it->key, it->value);
    return points;
}

class ChartTest : public test::FormTest {
protected:
    DataSetChart chart;
};

TEST_F(ChartTest, SeriesSetsCarryTitlesColoursAndMarkers) {
    const QCPScatterStyle::ScatterShape markers[] = {QCPScatterStyle::ssSquare, QCPScatterStyle::ssDiamond,
                                                     QCPScatterStyle::ssDiamond, QCPScatterStyle::ssCircle,
                                                     QCPScatterStyle::ssCircle};
    const QColor colours[] = {QColor(0, 255, 0), QColor(128, 0, 0), QColor(255, 0, 255), QColor(0, 255, 255),
                              QColor(255, 0, 0)};
    const char* titles[] = {"Value", "Min.", "Max.", "Min. averaged", "Max. averaged"};
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        chart.InitSeriesType(mode);
        ASSERT_EQ(chart.graphCount(), 5);
        EXPECT_EQ(chart.UsesLineSeries(), mode == 2);
        for (int slot = 0; slot < 5; ++slot) {
            QCPGraph* g = chart.Series(slot);
            EXPECT_EQ(g->name(), QString::fromLatin1(titles[slot]));
            EXPECT_EQ(g->pen().color(), colours[slot]);
            if (mode == 2) {
                EXPECT_EQ(g->lineStyle(), QCPGraph::lsLine);
                EXPECT_TRUE(g->scatterStyle().isNone());
            } else {
                EXPECT_EQ(g->lineStyle(), QCPGraph::lsNone);
                EXPECT_EQ(g->scatterStyle().shape(), markers[slot]);
            }
            EXPECT_TRUE(chart.legend->hasItemWithPlottable(g));
        }
    }
    chart.ReleaseSeries();
    EXPECT_EQ(chart.graphCount(), 0);
    EXPECT_FALSE(chart.HasSeries());
    chart.AddPoint(0, 1, 1); // no series: nothing happens
    EXPECT_FALSE(chart.DeletePoint(0, 0));
}

TEST_F(ChartTest, PointsStaySortedByXAndAreDeletedByIndex) {
    chart.InitSeriesType(0);
    for (const auto& [x, y] : std::vector<std::pair<double, double>>{{3, 30}, {1, 10}, {2, 20}, {2, 21}})
        chart.AddPoint(0, x, y);
    ASSERT_EQ(Points(chart, 0).size(), 4u);
    EXPECT_EQ(Points(chart, 0).front(), std::make_pair(1.0, 10.0));
    EXPECT_EQ(Points(chart, 0).back(), std::make_pair(3.0, 30.0));

    // Exactly the indexed point goes, also among equal x.
    const auto before = Points(chart, 0);
    EXPECT_TRUE(chart.DeletePoint(0, 2));
    auto expected = before;
    expected.erase(expected.begin() + 2);
    EXPECT_EQ(Points(chart, 0), expected);

    EXPECT_FALSE(chart.DeletePoint(0, 3));
    EXPECT_FALSE(chart.DeletePoint(0, -1));
    EXPECT_EQ(Points(chart, 0), expected);
    EXPECT_TRUE(chart.DeletePoint(0, 0));
    EXPECT_EQ(Points(chart, 0).front().first, 2.0);

    chart.ClearPoints();
    EXPECT_EQ(chart.PointCount(0), 0);
}

TEST_F(ChartTest, AutomaticScalingSpansAllPointsAndStopsWhenTheOperatorMovesTheView) {
    chart.InitSeriesType(0);
    EXPECT_TRUE(chart.BottomAutoScale());
    EXPECT_FALSE(chart.LeftAutoScale());
    chart.yAxis->setRange(0, 1);
    chart.AddPoint(0, 1, 100);
    chart.AddPoint(2, 5, -50);
    chart.ApplyAutoScale();
    EXPECT_LE(chart.xAxis->range().lower, 1);
    EXPECT_GE(chart.xAxis->range().upper, 5);
    EXPECT_EQ(chart.yAxis->range(), QCPRange(0, 1)); // left axis not yet automatic

    chart.ZoomAll();
    chart.ApplyAutoScale();
    EXPECT_LE(chart.yAxis->range().lower, -50);
    EXPECT_GE(chart.yAxis->range().upper, 100);
    chart.AddPoint(0, 9, 400); // later points are followed
    chart.ApplyAutoScale();
    EXPECT_GE(chart.yAxis->range().upper, 400);
    EXPECT_GE(chart.xAxis->range().upper, 9);

    chart.resize(400, 300);
    QWheelEvent wheel(QPointF(200, 150), chart.mapToGlobal(QPointF(200, 150)), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&chart, &wheel);
    EXPECT_FALSE(chart.BottomAutoScale());
    EXPECT_FALSE(chart.LeftAutoScale());
    chart.ZoomAll();
    EXPECT_TRUE(chart.BottomAutoScale());
    EXPECT_TRUE(chart.LeftAutoScale());
}

TEST_F(ChartTest, AxesOfTheModes) {
    EXPECT_EQ(chart.xAxis->label(), QStringLiteral("[n]=1"));
    EXPECT_EQ(chart.yAxis->label(), QStringLiteral("Value"));
    EXPECT_EQ(chart.LeftTicker().Pattern(), QStringLiteral("#.##0,###"));
    const struct {
        int mode;
        const char* title;
        const char* pattern;
        double step;
    } cases[] = {{0, "[n] = 1", "0", 1}, {1, "[t] = s", "0.000", 0.001}, {2, "[t] = s", "0.000", 0.001}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        chart.SetXAxis(c.mode);
        EXPECT_EQ(chart.xAxis->label(), QString::fromLatin1(c.title));
        EXPECT_EQ(chart.BottomTicker().Pattern(), QString::fromLatin1(c.pattern));
        EXPECT_EQ(chart.BottomTicker().LabelStep(), c.step);
    }
    chart.SetSeparators(QStringLiteral(","), QStringLiteral("."));
    EXPECT_EQ(chart.LeftTicker().Label(1234.5), QStringLiteral("1.234,500"));
    EXPECT_EQ(chart.BottomTicker().Label(0.25), QStringLiteral("0,250"));
}

} // namespace
} // namespace kantrel::ui
