// Speed of the statistics on the offscreen platform, without sleeping:
// Each figure comes twice: as wall-clock time and, with "_cpu", as the processor time of
// the program's thread, which other programs on a busy machine do not inflate.
//   statistics_list_10240_ms     a full recompute of the figures of 10240 listed data sets
//                                (read from the list's texts), median of 50; target <= 5 ms
//   statistics_table_10240_ms    the same from the table, as during an automatic recording
//   statistics_window_10240_ms   a full update of the open statistics window: figures,
//                                table and histogram, median of 50
//   tick_with_statistics_ms      one refresh tick during an automatic recording at averaging
//                                count 1 with 100 new data sets, the statistics window open
//                                and its update due every tick (median of 500)

#include <QApplication>
#include <QPushButton>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "bench_window.h"
#include "measure/meas_data.h"
#include "settings/settings.h"
#include "support/fake_ports.h"
#include "support/measurement_fixture.h"
#include "support/test_environment.h"
#include "ui/data_set_list.h"
#include "ui/data_sets_on_show.h"
#include "ui/dialogs.h"
#include "ui/form1.h"
#include "ui/report_content.h"
#include "ui/statistics_feature.h"
#include "ui/statistics_window.h"
#include "ui/window_port.h"

namespace {

using namespace kantrel;
using namespace kantrel::bench;

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Timing {
    double wall = 0; // milliseconds
    double cpu = 0;  // of this thread: unaffected by other programs on a busy machine
};

template <typename F> Timing MedianOf(int runs, F&& work) {
    std::vector<double> wall, cpu;
    for (int run = 0; run < runs; ++run) {
        const double c0 = CpuMs();
        const auto t0 = Stopwatch::now();
        work();
        wall.push_back(Milliseconds(Stopwatch::now() - t0));
        cpu.push_back(CpuMs() - c0);
    }
    return {Median(wall), Median(cpu)};
}

void Print(const char* name, const Timing& t) {
    std::printf("%s %.2f\n%s_cpu %.2f\n", name, t.wall, name, t.cpu);
}

} // namespace

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
    form.show();
    AttachReadInstrument(form);
    settings.LimitsOn = true;
    settings.LimitLow = 5000;
    settings.LimitHigh = 15000;

    int raw = 0;
    form.Start->click();
    // A full table of data sets with varying values, as an automatic recording leaves it.
    RecordSamples(form, kDataListSize, raw);
    form.statistics->OpenStatistics();
    const Timing table = MedianOf(50, [&] { ui::StatisticsOnShow(*form.listModel); });
    form.Stop->click();
    form.TimerGetMeasTimer();
    if (form.listModel->LineCount() != kDataListSize + 1) {
        std::fprintf(stderr, "the list holds %d lines\n", form.listModel->LineCount());
        return 1;
    }
    const DataSetStatistics statistics = ui::StatisticsOnShow(*form.listModel);
    if (statistics.columns[0].n != static_cast<std::size_t>(kDataListSize)) {
        std::fprintf(stderr, "the statistics count %zu data sets\n", statistics.columns[0].n);
        return 1;
    }
    const Timing list = MedianOf(50, [&] { ui::StatisticsOnShow(*form.listModel); });
    ui::StatisticsWindow& window = *form.statistics->Window();
    const Timing update = MedianOf(50, [&] {
        window.ShowStatistics(ui::StatisticsOnShow(*form.listModel), ui::ValueColumnCaptions(form));
        app.processEvents(); // the histogram draws
    });

    // Ticks of a recording that fills the table again; each tick's statistics update is
    // made due, the worst case of the 100 ms interval.
    form.ClrAll->click();
    form.Start->click();
    auto& interval = dynamic_cast<test::ManualTimer&>(form.statistics->UpdateInterval());
    std::vector<double> ticks;
    std::vector<double> tickCpu;
    for (int i = 0; i < 500; ++i) {
        for (int k = 0; k < 100; ++k)
            test::PushSample(*measData, 0, static_cast<std::int16_t>(raw++ % 20000));
        const Timing tick = MedianOf(1, [&] {
            form.TimerGetMeasTimer();
            if (interval.active)
                interval.tick();
        });
        ticks.push_back(tick.wall);
        tickCpu.push_back(tick.cpu);
    }
    form.Stop->click();

    Print("statistics_table_10240_ms", table);
    Print("statistics_window_10240_ms", update);
    Print("tick_with_statistics_ms", {Median(ticks), Median(tickCpu)});
    Print("statistics_list_10240_ms", list);
    ports().window = nullptr;
    ui::SetDialogs(nullptr);
    return 0;
}
