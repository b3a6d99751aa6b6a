#pragma once

// What the window benchmarks share: the time taken, the window on an instrument that
// has finished its readout, and readings recorded as the refresh timer takes them.

#include <QString>
#include <chrono>
#include <vector>

#include "ui/dialogs.h"

namespace kantrel::ui {
class TForm1;
}

namespace kantrel::bench {

using Stopwatch = std::chrono::steady_clock;

double Milliseconds(Stopwatch::duration d);
double Median(std::vector<double> v);

// Boxes nobody reads: a benchmark runs without an operator.
class SilentDialogs : public ui::Dialogs {
public:
    void Message(const QString&, const QString&) override {}
    void Error(const QString&) override {}
};

// The shown window as after a connection whose readout has completed: a raw count is
// the value, nominal value 30000, averaging count 1.
void AttachReadInstrument(ui::TForm1& form);

// `samples` readings into the ring, counting on from `raw` (modulo 20000), with a refresh
// tick after every 100 of them, as the 100 ms timer takes them, and one at the end.
void RecordSamples(ui::TForm1& form, int samples, int& raw);

} // namespace kantrel::bench
