// The limits in the main window: list lines whose Value lies outside in red, the limits
// as dashed lines in the chart, the live value in red while outside; and nothing of it
// while the limits are off.

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QTreeView>

#include "measure/meas_data.h"
#include "settings/settings.h"
#include "statistics_fixture.h"
#include "support/test_environment.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/limit_marks.h"
#include "ui/statistics_feature.h"

namespace kantrel::test {
namespace {

class LimitMarksTest : public StatisticsFixture {
protected:
    ui::OutsideLinesDelegate& Delegate() const {
        return *static_cast<ui::OutsideLinesDelegate*>(form->ListView1->itemDelegate());
    }
    std::vector<int> OutsideLines() const {
        std::vector<int> lines;
        for (int line = 0; line < form->listModel->LineCount(); ++line)
            if (Delegate().IsOutside(form->listModel->index(line, 2)))
                lines.push_back(line);
        return lines;
    }
    // Whether the list draws any pixel of pure red in that line.
    bool DrawnRed(int line) const {
        QTreeView& list = *form->ListView1;
        const QImage image = list.viewport()->grab().toImage();
        const QRect rect =
            list.visualRect(form->listModel->index(line, 0))
                .united(list.visualRect(form->listModel->index(line, ui::DataSetListModel::kColumns - 1)));
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (image.pixelColor(x, y) == QColor(Qt::red))
                    return true;
        return false;
    }
    void Sync() { form->statistics->Marks().Sync(); }
};

TEST_F(LimitMarksTest, LinesWhoseValueLiesOutsideAreRed) {
    StartForm();
    form->show();
    ShowValues({" 9,0", " 10,0", " 11,0", " 12,0", "---"});
    form->listModel->AppendLine({QString(), QString(), QString()}); // the blank end line

    struct Case {
        const char* name;
        bool on;
        std::optional<double> low, high;
        std::vector<int> outside;
    } cases[] = {
        {"limits off", false, 9.5, 11.5, {}},
        {"both limits", true, 9.5, 11.5, {0, 3}},
        {"values on a limit pass", true, 10.0, 11.0, {0, 3}},
        {"low limit only", true, 10.5, std::nullopt, {0, 1}},
        {"high limit only", true, std::nullopt, 9.5, {1, 2, 3}},
        {"no limit set", true, std::nullopt, std::nullopt, {}},
        {"low above high is no limit", true, 12.0, 9.0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetLimits(c.low, c.high, c.on);
        Sync();
        EXPECT_EQ(OutsideLines(), c.outside);
        // Line 4 (no number) and the blank line are never red.
        for (int line = 0; line < form->listModel->LineCount(); ++line) {
            const bool outside = std::find(c.outside.begin(), c.outside.end(), line) != c.outside.end();
            EXPECT_EQ(DrawnRed(line), outside) << "line " << line;
        }
    }
}

TEST_F(LimitMarksTest, WithLimitsOffTheListLooksAsWithoutTheFeature) {
    WriteSettings("[Config]\nLimitsOn=0\nLimitLow=0\nLimitHigh=5\n");
    StartForm();
    form->show();
    ShowValues({" 9,0", " 10,0", " 11,0"});
    form->ListView1->setCurrentIndex(form->listModel->index(1, 0)); // a selected line too
    Sync();
    const QImage withFeature = form->ListView1->viewport()->grab().toImage();
    ui::OutsideLinesDelegate& feature = Delegate();
    QStyledItemDelegate plain;
    form->ListView1->setItemDelegate(&plain);
    const QImage without = form->ListView1->viewport()->grab().toImage();
    form->ListView1->setItemDelegate(&feature);
    EXPECT_EQ(withFeature, without);
}

TEST_F(LimitMarksTest, LimitsFromTheSettingsFileMarkTheLoadedLines) {
    WriteSettings("[Config]\nLimitsOn=1\nLimitLow=0\nLimitHigh=5\n");
    StartForm();
    boxes.openAnswer = QString::fromStdString(TestDataPath("datafile_three_rows.txt"));
    form->loadFromFileClick(); // 1,5  -2,5  10,0
    EXPECT_EQ(OutsideLines(), (std::vector<int>{1, 2}));
}

TEST_F(LimitMarksTest, ChartDrawsTheLimitsAsDashedLines) {
    StartForm();
    const ui::LimitMarks& marks = form->statistics->Marks();
    const int itemsWithout = form->Chart1->itemCount();

    SetLimits(9.5, 11.5);
    Sync();
    ASSERT_NE(marks.ChartLine(0), nullptr);
    ASSERT_NE(marks.ChartLine(1), nullptr);
    EXPECT_EQ(form->Chart1->itemCount(), itemsWithout + 2);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QCPItemStraightLine& line = *marks.ChartLine(i);
        EXPECT_EQ(line.pen().style(), Qt::DashLine);
        const double level = i == 0 ? 9.5 : 11.5;
        // Horizontal: both points at the level.
        EXPECT_EQ(line.point1->coords().y(), level);
        EXPECT_EQ(line.point2->coords().y(), level);
        EXPECT_NE(line.point1->coords().x(), line.point2->coords().x());
    }

    // A change of the chart mode keeps them; one limit off removes its line.
    form->startupDone = true;
    form->RadioGroupGraficModeClick(2);
    EXPECT_EQ(form->Chart1->itemCount(), itemsWithout + 2);
    SetLimits(std::nullopt, 11.5);
    Sync();
    EXPECT_EQ(marks.ChartLine(0), nullptr);
    EXPECT_EQ(form->Chart1->itemCount(), itemsWithout + 1);
    SetLimits(std::nullopt, 11.5, false);
    Sync();
    EXPECT_EQ(form->Chart1->itemCount(), itemsWithout);
}

TEST_F(LimitMarksTest, ClipboardExportStaysAsItWasWithLimitsOn) {
    StartForm();
    AttachInstrument();
    for (const std::int16_t raw : {100, 300}) {
        form->ButtonSingleShotClick();
        FeedAndTick(1, raw);
    }
    form->ButtonExcelClick();
    const QString without = QGuiApplication::clipboard()->text();
    ASSERT_EQ(without.count(QStringLiteral("\r\n")), 3);

    SetLimits(150.0, 250.0);
    Sync();
    ASSERT_EQ(OutsideLines(), (std::vector<int>{0, 1}));
    QGuiApplication::clipboard()->clear();
    form->ButtonExcelClick();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), without);
}

TEST_F(LimitMarksTest, LiveValueIsRedWhileOutside) {
    StartForm();
    AttachInstrument();
    QLabel& live = *form->meas300;
    const QColor normal = live.palette().color(QPalette::WindowText);
    const bool ownPalette = live.testAttribute(Qt::WA_SetPalette);
    SetLimits(std::nullopt, 260.0);

    struct Step {
        std::int16_t raw;
        bool red;
    } steps[] = {{250, false}, {300, true}, {260, false}, {261, true}, {250, false}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.raw);
        FeedAndTick(1, s.raw);
        EXPECT_EQ(live.palette().color(QPalette::WindowText), s.red ? QColor(Qt::red) : normal);
    }
    FeedAndTick(1, 300);
    SetLimits(std::nullopt, 260.0, false);
    FeedAndTick(1, 300);
    EXPECT_EQ(live.palette().color(QPalette::WindowText), normal);
    // Back to following the window, as before.
    EXPECT_EQ(live.testAttribute(Qt::WA_SetPalette), ownPalette);
}

} // namespace
} // namespace kantrel::test
