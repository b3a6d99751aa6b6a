// Speed of saving and loading a full table from the window on the offscreen platform:
//   save_10240_ms  SAVE of 10240 data sets, the file written and renamed (median of 5)
//   load_10240_ms  LOAD of that file with all five series ticked: table, list and chart,
//                  and the chart's drawing of it (median of 5)

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_window.h"
#include "measure/meas_data.h"
#include "support/fake_ports.h"
#include "support/test_environment.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/window_port.h"

namespace {

using namespace kantrel;
using namespace kantrel::bench;

// Answers both file dialogs with one path; counts the boxes, which a clean run never shows.
class PathDialogs : public ui::Dialogs {
public:
    explicit PathDialogs(QString path) : path_(std::move(path)) {}
    void Message(const QString& text, const QString&) override {
        std::fprintf(stderr, "box: %s\n", text.toUtf8().constData());
        ++boxes;
    }
    void Error(const QString& text) override { Message(text, QString()); }
    QString OpenFileName(const QString&, const QString&, const QString&) override { return path_; }
    QString SaveFileName(const QString&, const QString&, const QString&) override { return path_; }
    int boxes = 0;

private:
    QString path_;
};

// A full table through automatic recording, as the operator would make it.
void RecordFullTable(ui::TForm1& form) {
    int raw = -10000;
    form.Start->click();
    RecordSamples(form, kDataListSize, raw);
    form.Stop->click();
    form.TimerGetMeasTimer();
}

} // namespace

int main(int argc, char** argv) {
    test::IsolatedEnvironment environment;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    test::PortsScope fakes;
    const std::string path = test::IsolatedEnvironment::Root() + "/full.txt";
    PathDialogs dialogs(QString::fromStdString(path));
    ui::SetDialogs(&dialogs);

    ui::TForm1 form;
    ui::FormWindowPort port(form);
    ports().window = &port;
    form.show(); // runs the start-up
    AttachReadInstrument(form);
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        form.SeriesCheckBox(slot)->setChecked(true);
    RecordFullTable(form);

    std::vector<double> saves;
    for (int run = 0; run < 5; ++run) {
        const auto t0 = Stopwatch::now();
        form.saveToFileClick();
        saves.push_back(Milliseconds(Stopwatch::now() - t0));
    }

    std::vector<double> loads;
    for (int run = 0; run < 5; ++run) {
        app.processEvents();
        const auto t0 = Stopwatch::now();
        form.loadFromFileClick();
        form.Chart1->replot(QCustomPlot::rpImmediateRefresh);
        loads.push_back(Milliseconds(Stopwatch::now() - t0));
        if (form.listModel->LineCount() != kDataListSize + 1 ||
            form.Chart1->PointCount(ui::kSlotMaxAvr) != kDataListSize) {
            std::fprintf(stderr, "load gave %d lines and %d points\n", form.listModel->LineCount(),
                         form.Chart1->PointCount(ui::kSlotMaxAvr));
            return 1;
        }
    }
    if (dialogs.boxes != 0)
        return 1;

    std::printf("save_10240_ms %.1f\n", Median(saves));
    std::printf("load_10240_ms %.1f\n", Median(loads));
    ports().window = nullptr;
    ui::SetDialogs(nullptr);
    return 0;
}
