// The main window after a run on the simulated instrument, described control by control
// (geometry, text, font, colours, state, list lines, chart series) and compared with the
// description recorded before the statistics, limits and report were added: while they
// are not used, nothing of the window may differ.
//
// To record a new description on purpose, run this test with
// KANTREL_SNAPSHOT_OUT=<file> and review the difference before replacing the fixture.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <cstdlib>
#include <sstream>

#include "simulated_form_fixture.h"
#include "support/test_environment.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"

namespace kantrel::test {
namespace {

std::string Text(const QString& text) {
    return '"' + text.toStdString() + '"';
}

std::string Rect(const QRect& r) {
    std::ostringstream out;
    out << r.x() << ',' << r.y() << ' ' << r.width() << 'x' << r.height();
    return out.str();
}

std::string Colour(const QWidget& w, QPalette::ColorRole role) {
    return w.palette().color(QPalette::Active, role).name(QColor::HexArgb).toStdString();
}

// The caption or content that a control shows.
std::string Content(const QWidget& w) {
    if (auto* label = qobject_cast<const QLabel*>(&w))
        return label->pixmap().isNull() ? Text(label->text()) : "pixmap " + Rect(label->pixmap().rect());
    if (auto* button = qobject_cast<const QAbstractButton*>(&w))
        return Text(button->text()) + (button->isCheckable() ? (button->isChecked() ? " on" : " off") : "");
    if (auto* combo = qobject_cast<const QComboBox*>(&w)) {
        std::string items;
        for (int i = 0; i < combo->count(); ++i)
            items += Text(combo->itemText(i)) + ' ';
        return Text(combo->currentText()) + " index " + std::to_string(combo->currentIndex()) + " items " +
               items;
    }
    if (auto* group = qobject_cast<const QGroupBox*>(&w))
        return Text(group->title());
    return {};
}

void DescribeList(std::ostream& out, const ui::TForm1& form) {
    const ui::DataSetListModel& list = *form.listModel;
    out << "list captions";
    for (int c = 0; c < ui::DataSetListModel::kColumns; ++c)
        out << ' ' << Text(list.Caption(c)) << '/' << form.ListView1->header()->sectionSize(c);
    out << "\nlist scrolled to " << form.ListView1->verticalScrollBar()->value() << '\n';
    for (int line = 0; line < list.LineCount(); ++line) {
        out << "line";
        for (int c = 0; c < ui::DataSetListModel::kColumns; ++c) {
            const QModelIndex index = list.index(line, c);
            out << ' ' << Text(list.Cell(line, c));
            for (int role : {Qt::ForegroundRole, Qt::BackgroundRole, Qt::FontRole})
                if (list.data(index, role).isValid())
                    out << " role" << role << '=' << list.data(index, role).toString().toStdString();
        }
        out << '\n';
    }
}

void DescribeChart(std::ostream& out, const ui::DataSetChart& chart) {
    out << "chart graphs " << chart.graphCount() << " items " << chart.itemCount() << " plottables "
        << chart.plottableCount() << " layers " << chart.layerCount() << '\n';
    for (QCPAxis* axis : {chart.xAxis, chart.yAxis})
        out << "axis " << Text(axis->label()) << " range " << axis->range().lower << ' '
            << axis->range().upper << '\n';
    for (int g = 0; g < chart.graphCount(); ++g) {
        const QCPGraph* graph = chart.graph(g);
        out << "graph " << Text(graph->name()) << ' ' << graph->pen().color().name().toStdString()
            << " style " << graph->lineStyle() << " points";
        for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
            out << ' ' << it->key << ':' << it->value;
        out << '\n';
    }
}

std::string DescribeWindow(const ui::TForm1& form) {
    std::ostringstream out;
    out << "window " << Text(form.windowTitle()) << ' ' << Rect(form.geometry()) << " font "
        << form.font().toString().toStdString() << '\n';
    for (const QWidget* w : form.findChildren<QWidget*>()) {
        // Widgets inside the controls (a list's scroll bars, a combo box's editor) are
        // described through their control.
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        out << w->metaObject()->className() << ' ' << w->objectName().toStdString() << ' ';
        // A label's size follows its text and font, which are described.
        out << (qobject_cast<const QLabel*>(w) && w->objectName().front() != QLatin1Char('I')
                    ? std::to_string(w->x()) + ',' + std::to_string(w->y())
                    : Rect(w->geometry()));
        out << (w->isHidden() ? " hidden" : " shown") << (w->isEnabled() ? " enabled" : " disabled")
            << " font " << w->font().toString().toStdString() << " text " << Colour(*w, QPalette::WindowText)
            << ' ' << Colour(*w, QPalette::Text) << " base " << Colour(*w, QPalette::Base) << ' '
            << Content(*w) << " tip " << Text(w->toolTip()) << " style " << Text(w->styleSheet()) << '\n';
    }
    DescribeList(out, form);
    DescribeChart(out, *form.Chart1);
    return out.str();
}

constexpr std::int64_t kReadyBy = 1500; // ms of the instrument's clock

class WindowUnchangedTest : public SimulatedFormTest {
protected:
    void Describe(std::ostream& out, const char* phase) {
        out << "== " << phase << '\n' << DescribeWindow(*form);
    }
};

TEST_F(WindowUnchangedTest, WindowAfterASimulatedRunIsAsRecorded) {
    std::ostringstream description;
    Open();
    RunUntilReady();
    // The readout may end a little earlier or later (a first connection in the process
    // takes longer): the run goes on from a fixed time, so that its data sets always
    // carry the same times.
    ASSERT_LE(elapsedMs, kReadyBy);
    Run(static_cast<int>(kReadyBy - elapsedMs));
    Describe(description, "ready");

    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        if (!form->IsSeriesChecked(slot))
            form->SeriesCheckBox(slot)->click();
    for (int shot = 0; shot < 3; ++shot) {
        form->ButtonSingleShot->click();
        Run(300);
    }
    Describe(description, "three single shots");

    form->Start->click();
    Run(1000);
    Describe(description, "automatic recording");
    form->Stop->click();
    Run(300);
    Describe(description, "automatic recording stopped");

    form->ClrLast->click();
    Describe(description, "last data set cleared");

    boxes.openAnswer = QString::fromStdString(TestDataPath("datafile_three_rows.txt"));
    form->loadFromFile->click();
    Run(300);
    Describe(description, "data file loaded");

    if (const char* out = std::getenv("KANTREL_SNAPSHOT_OUT"))
        WriteFileBytes(out, description.str());
    const std::string recorded = ReadFileBytes(TestDataPath("window_after_simulated_run.txt"));
    ASSERT_FALSE(recorded.empty()) << "the recorded description is missing";
    EXPECT_EQ(description.str(), recorded);
}

} // namespace
} // namespace kantrel::test
