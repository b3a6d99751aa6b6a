// The statistics window: its figures for known data sets, its following of new data sets
// (live during an automatic recording, at most ten times a second), the limits entered
// with the regional separator and stored at once, the histogram and "Copy".

#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <cmath>

#include "core/value_text.h"
#include "measure/meas_data.h"
#include "measure/statistics_cases.h"
#include "settings/settings.h"
#include "statistics_fixture.h"
#include "support/measurement_fixture.h"
#include "support/test_environment.h"
#include "ui/data_set_list.h"
#include "ui/statistics_feature.h"
#include "ui/statistics_histogram.h"

namespace kantrel::test {
namespace {

class StatisticsWindowTest : public StatisticsFixture {
protected:
    // The figure is the expected one, shown to its last decimal (or "-" for none).
    void ExpectFigure(const char* caption, const std::optional<double>& expected) {
        SCOPED_TRACE(caption);
        const std::optional<QString> text = Figure(caption);
        ASSERT_TRUE(text.has_value());
        if (!expected) {
            EXPECT_EQ(*text, QStringLiteral("-"));
            return;
        }
        const std::optional<double> shown = ParseValueText(text->toStdString(), ",");
        ASSERT_TRUE(shown.has_value()) << text->toStdString();
        const qsizetype comma = text->indexOf(QLatin1Char(','));
        const double halfStep = 0.5 * std::pow(10.0, comma < 0 ? 0 : -(text->size() - comma - 1));
        EXPECT_NEAR(*shown, *expected, halfStep * 1.000001) << text->toStdString();
    }
    void ExpectCount(const char* caption, std::size_t expected) {
        EXPECT_EQ(Figure(caption), QString::number(expected)) << caption;
    }
};

TEST_F(StatisticsWindowTest, FiguresOfKnownDataSetsAreThoseOfTheCoreCases) {
    StartForm();
    for (const StatisticsCase& c : kStatisticsCases) {
        SCOPED_TRACE(c.name);
        form->ClrAllClick();
        std::vector<std::string> texts;
        for (const double v : c.values)
            texts.push_back(std::isfinite(v) ? ListText(v) : "---");
        SetLimits(c.limits.low, c.limits.high, c.limits.Any());
        ShowValues(texts);
        OpenStatistics();

        ExpectCount("n", c.n);
        if (c.n > 0) {
            ExpectFigure("Mean", c.mean);
            ExpectFigure("Minimum", c.min);
            ExpectFigure("Maximum", c.max);
            ExpectFigure("Range", c.range);
        }
        ExpectFigure("Standard deviation", c.stdDev);
        EXPECT_EQ(Figure("Not a number").has_value(), c.invalid > 0);
        EXPECT_EQ(Figure("Cp").has_value(), c.limits.Any());
        if (c.limits.Any()) {
            ExpectCount("Inside limits", c.pass);
            ExpectCount("Below low limit", c.low);
            ExpectCount("Above high limit", c.high);
            ExpectFigure("Cp", c.cp);
            ExpectFigure("Cpk", c.cpk);
            // Only the Value is judged.
            EXPECT_EQ(Figure("Inside limits", 1), QString());
        }
        // Every column shows its own figures.
        EXPECT_EQ(Figure("n", 4), QString::number(c.n));
    }
}

TEST_F(StatisticsWindowTest, FiguresOfALoadedFileWithTheListCaptions) {
    StartForm();
    boxes.openAnswer = QString::fromStdString(TestDataPath("datafile_three_rows.txt"));
    form->loadFromFileClick();
    OpenStatistics();
    // 1,5  -2,5  10,0
    EXPECT_EQ(Figure("n"), QStringLiteral("3"));
    EXPECT_EQ(Figure("Mean"), QStringLiteral("3,00"));
    EXPECT_EQ(Figure("Minimum"), QStringLiteral("-2,5"));
    EXPECT_EQ(Figure("Maximum", 2), QStringLiteral("10,5"));
    EXPECT_EQ(Figure("Range", 1), QStringLiteral("12,5"));
    const QTableWidget& figures = *Window().Figures;
    EXPECT_EQ(figures.horizontalHeaderItem(0)->text(), QStringLiteral("[Value]=N"));
    EXPECT_EQ(figures.horizontalHeaderItem(4)->text(), QStringLiteral("[MaxFilt]=N"));
    // The blank line at the end is no data set.
    EXPECT_EQ(form->listModel->LineCount(), 4);

    const QCPBars& bars = *Window().Histogram->Bars();
    double total = 0;
    for (auto it = bars.data()->constBegin(); it != bars.data()->constEnd(); ++it)
        total += it->value;
    EXPECT_EQ(total, 3.0);
}

TEST_F(StatisticsWindowTest, FollowsDataSetsLiveAtMostTenTimesASecond) {
    StartForm();
    AttachInstrument();
    OpenStatistics();
    const ui::StatisticsWindow& window = Window();
    auto* interval = dynamic_cast<ManualTimer*>(&form->statistics->UpdateInterval());
    ASSERT_NE(interval, nullptr);
    const int opened = window.Updates();
    EXPECT_EQ(Figure("n"), QStringLiteral("0"));

    // A single shot shows at the end of the interval.
    form->ButtonSingleShotClick();
    FeedAndTick(1, 100);
    EXPECT_EQ(window.Updates(), opened);
    ASSERT_TRUE(interval->active);
    EXPECT_EQ(interval->interval, ui::StatisticsFeature::kMinUpdateIntervalMs);
    interval->tick();
    EXPECT_EQ(window.Updates(), opened + 1);
    EXPECT_EQ(Figure("n"), QStringLiteral("1"));
    interval->tick(); // nothing new: the interval ends
    EXPECT_FALSE(interval->active);

    // An automatic recording: the list waits for the end, the figures follow the table,
    // once per interval however many data sets came.
    form->StartClick();
    for (int tick = 0; tick < 5; ++tick)
        FeedAndTick(5, 200); // five new data sets a tick
    EXPECT_EQ(window.Updates(), opened + 1);
    interval->tick();
    EXPECT_EQ(window.Updates(), opened + 2);
    EXPECT_EQ(Figure("n"), QString::number(measData->GetDataListPos() + 1));
    EXPECT_EQ(Figure("n"), QStringLiteral("25"));
    EXPECT_EQ(form->listModel->LineCount(), 0);
    FeedAndTick(5, 200);
    interval->tick();
    EXPECT_EQ(Figure("n"), QStringLiteral("30"));

    // The end of the recording rebuilds the list: the same data sets, one blank line more.
    const QString during = *Figure("n");
    form->StopClick();
    form->TimerGetMeasTimer();
    interval->tick();
    EXPECT_EQ(Figure("n"), during);
    EXPECT_EQ(form->listModel->LineCount(), during.toInt() + 1);
}

TEST_F(StatisticsWindowTest, HiddenWindowCostsNothingAndCatchesUpWhenOpened) {
    StartForm();
    OpenStatistics();
    Window().hide();
    const int before = Window().Updates();
    ShowValues({" 1,0", " 2,0"});
    EXPECT_EQ(Window().Updates(), before);
    OpenStatistics();
    EXPECT_EQ(Figure("n"), QStringLiteral("2"));
}

TEST_F(StatisticsWindowTest, LimitsEnteredRegionallyAreStoredAtOnceAndReadBack) {
    StartForm();
    ShowValues({" 9,8", " 10,1", " 10,6"});
    ui::StatisticsWindow& window = OpenStatistics();
    EXPECT_FALSE(window.LimitsOn->isChecked());
    EXPECT_FALSE(Figure("Cp").has_value());

    window.LimitsOn->click();
    EnterLimit(true, QStringLiteral("9,5"));
    EnterLimit(false, QStringLiteral(" 10,5 "));
    EXPECT_EQ(window.HighLimit->text(), QStringLiteral("10,5"));
    EXPECT_EQ(Figure("Above high limit"), QStringLiteral("1"));
    const std::string stored = ReadSettingsFile();
    for (const char* entry : {"LimitsOn=1\n", "LimitLow=9.5\n", "LimitHigh=10.5\n"})
        EXPECT_NE(stored.find(entry), std::string::npos) << entry << " in " << stored;

    struct Case {
        const char* name;
        bool low;
        const char* text;
        const char* hint;
        std::optional<double> lowAfter, highAfter;
    } cases[] = {
        {"a point under a comma locale", true, "9.7", "Not a number", 9.5, 10.5},
        {"not a number", false, "abc", "Not a number", 9.5, 10.5},
        {"low above high", true, "11,0", "The low limit lies above the high limit", 9.5, 10.5},
        {"high below low", false, "9,0", "The low limit lies above the high limit", 9.5, 10.5},
        {"a limit switched off by emptying it", true, "", "", std::nullopt, 10.5},
        {"a negative limit", true, "-1,25", "", -1.25, 10.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EnterLimit(c.low, QString::fromUtf8(c.text));
        EXPECT_EQ(window.LimitHint->text(), QString::fromUtf8(c.hint));
        EXPECT_EQ(settings.LimitLow, c.lowAfter);
        EXPECT_EQ(settings.LimitHigh, c.highAfter);
        // What was refused stays in the entry for the operator to mend.
        if (*c.hint) {
            EXPECT_EQ((c.low ? window.LowLimit : window.HighLimit)->text(), QString::fromUtf8(c.text));
        }
    }

    // A new start reads what was stored.
    ReadSettings(",");
    EXPECT_TRUE(settings.LimitsOn);
    EXPECT_EQ(settings.LimitLow, -1.25);
    EXPECT_EQ(settings.LimitHigh, 10.5);
    window.ShowLimitSettings();
    EXPECT_EQ(window.LowLimit->text(), QStringLiteral("-1,25"));
    EXPECT_TRUE(window.LimitsOn->isChecked());

    window.LimitsOn->click();
    EXPECT_NE(ReadSettingsFile().find("LimitsOn=0\n"), std::string::npos);
    EXPECT_FALSE(Figure("Cp").has_value());
}

TEST_F(StatisticsWindowTest, LimitsThatCannotBeStoredAreReported) {
    StartForm();
    OpenStatistics();
    // A folder where the settings file should be: the file cannot be written.
    std::filesystem::remove(SettingsPath());
    std::filesystem::create_directories(SettingsPath());
    boxes.messages.clear();
    EnterLimit(true, QStringLiteral("1,5"));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].caption, "Error");
    std::filesystem::remove(SettingsPath());
}

TEST_F(StatisticsWindowTest, HistogramOfTheValueWithTheLimitsDrawn) {
    StartForm();
    ShowValues({" 1,0", " 2,0", " 2,0", " 3,0"});
    SetLimits(0.5, std::nullopt);
    ui::StatisticsWindow& window = OpenStatistics();
    const ui::StatisticsHistogram& histogram = *window.Histogram;
    ASSERT_NE(histogram.LimitLine(0), nullptr);
    EXPECT_EQ(histogram.LimitLine(1), nullptr);
    EXPECT_EQ(histogram.LimitLine(0)->point1->coords().x(), 0.5);
    EXPECT_EQ(histogram.LimitLine(0)->pen().style(), Qt::DashLine);
    // The axis keeps the limit in sight.
    EXPECT_LT(histogram.xAxis->range().lower, 0.5);
    EXPECT_EQ(histogram.Bars()->data()->size(), 2); // two bins for four values

    EnterLimit(false, QStringLiteral("2,5"));
    EXPECT_EQ(histogram.LimitLine(1)->point1->coords().x(), 2.5);
    window.LimitsOn->click();
    EXPECT_EQ(histogram.LimitLine(0), nullptr);
    EXPECT_EQ(histogram.LimitLine(1), nullptr);
}

TEST_F(StatisticsWindowTest, CopyPutsTheFiguresOnTheClipboardAsTabSeparatedText) {
    StartForm();
    form->BuildHeader();
    ShowValues({" 9,8", " 10,1", " 10,0", " 9,9", " 10,2"});
    SetLimits(9.5, 10.5);
    OpenStatistics().Copy->click();
    const QStringList lines = QGuiApplication::clipboard()->text().split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("\t[Value] = \t[Min] = \t[Max] = \t[MinFilt] = \t[MaxFilt] = "));
    EXPECT_EQ(lines[1], QStringLiteral("n\t5\t5\t5\t5\t5"));
    EXPECT_EQ(lines[2], QStringLiteral("Mean\t10,00\t10,00\t10,00\t10,00\t10,00"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Cp\t1,05\t\t\t\t")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Low limit\t9,5\t\t\t\t")));
    EXPECT_EQ(lines.back(), QString()); // every line ends with CR LF
}

} // namespace
} // namespace kantrel::test
