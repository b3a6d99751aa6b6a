#include "bench_window.h"

#include <algorithm>
#include <cstdint>

#include "core/link_flags.h"
#include "measure/meas_data.h"
#include "support/measurement_fixture.h"
#include "ui/form1.h"

namespace kantrel::bench {

double Milliseconds(Stopwatch::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void AttachReadInstrument(ui::TForm1& form) {
    test::UseIdentityParameters(30000);
    if (!measData)
        measData = new TMeasData(1);
    measData->SetAveragingCount(1);
    measData->readoutTimer.reset();
    measData->readoutDone = true;
    instrumentConnected.store(true);
    form.SetTensologKeys(true);
    form.ReadoutDoneState();
    form.TimerInit2Timer();
}

void RecordSamples(ui::TForm1& form, int samples, int& raw) {
    for (int i = 0; i < samples; ++i) {
        test::PushSample(*measData, 0, static_cast<std::int16_t>(raw++ % 20000));
        if ((i + 1) % 100 == 0)
            form.TimerGetMeasTimer();
    }
    form.TimerGetMeasTimer();
}

} // namespace kantrel::bench
