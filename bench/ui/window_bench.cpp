// Speed of the window on the offscreen platform, without sleeping:
//   rebuild_10240_ms  the refresh tick that rebuilds list and chart after an automatic
//                     recording of 10240 data sets with all five series ticked, and the
//                     chart's drawing of it (median of 5)
//   tick_ms           one refresh tick during automatic recording at averaging count 1
//                     with 100 new data sets (median of 500)
//   full_table_single_shot_ms
//                     the refresh tick that lists a single shot on a full table, which
//                     replaces the oldest data set and so renumbers every line and point,
//                     and the chart's drawing of it (median of 5)

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bench_window.h"
#include "measure/meas_data.h"
#include "support/fake_ports.h"
#include "support/measurement_fixture.h"
#include "support/test_environment.h"
#include "ui/data_set_chart.h"
#include "ui/data_set_list.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/window_port.h"

using namespace kantrel;
using namespace kantrel::bench;

int main(int argc, char** argv) {
    test::IsolatedEnvironment environment;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    test::PortsScope fakes;
    SilentDialogs dialogs;
    ui::SetDialogs(&dialogs);

    ui::TForm1 form;
    ui::FormWindowPort port(form);
    ports().window = &port;
    form.show(); // runs the start-up
    AttachReadInstrument(form);
    for (int slot = 0; slot < ui::kSeriesSlots; ++slot)
        form.SeriesCheckBox(slot)->setChecked(true);

    int raw = 0;
    std::vector<double> ticks;
    form.Start->click();
    for (int i = 0; i < 500; ++i) {
        for (int k = 0; k < 100; ++k)
            test::PushSample(*measData, 0, static_cast<std::int16_t>(raw++ % 20000));
        const auto t0 = Stopwatch::now();
        form.TimerGetMeasTimer();
        ticks.push_back(Milliseconds(Stopwatch::now() - t0));
    }
    form.Stop->click();
    form.TimerGetMeasTimer();
    form.ClrAll->click();

    std::vector<double> rebuilds;
    for (int run = 0; run < 5; ++run) {
        form.Start->click();
        RecordSamples(form, kDataListSize, raw);
        form.Stop->click();
        app.processEvents();
        const auto t0 = Stopwatch::now();
        form.TimerGetMeasTimer();
        form.Chart1->replot(QCustomPlot::rpImmediateRefresh);
        rebuilds.push_back(Milliseconds(Stopwatch::now() - t0));
        if (form.listModel->LineCount() != kDataListSize + 1) {
            std::fprintf(stderr, "rebuild gave %d lines\n", form.listModel->LineCount());
            return 1;
        }
        form.ClrAll->click();
    }

    form.Start->click();
    RecordSamples(form, kDataListSize, raw);
    form.Stop->click();
    form.TimerGetMeasTimer();
    std::vector<double> fullShots;
    for (int run = 0; run < 5; ++run) {
        form.ButtonSingleShot->click();
        test::PushSample(*measData, 0, static_cast<std::int16_t>(raw++ % 20000));
        app.processEvents();
        const auto t0 = Stopwatch::now();
        form.TimerGetMeasTimer();
        form.Chart1->replot(QCustomPlot::rpImmediateRefresh);
        fullShots.push_back(Milliseconds(Stopwatch::now() - t0));
    }

    std::printf("rebuild_10240_ms %.1f\n", Median(rebuilds));
    std::printf("tick_ms %.3f\n", Median(ticks));
    std::printf("full_table_single_shot_ms %.1f\n", Median(fullShots));
    ports().window = nullptr;
    ui::SetDialogs(nullptr);
    return 0;
}
