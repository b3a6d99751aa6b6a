#pragma once

// The raw counts of the simulated sensor, one per millisecond of instrument time. The
// value at a time depends on nothing else, so frames can be made in any order.

#include <cstdint>

#include "sim/scenario.h"

namespace kantrel::sim {

// The measured value at sample time tMs (sensor unit), noise included.
double SignalValue(const Scenario& scenario, std::int64_t tMs);

// The raw count the instrument reports at sample time tMs: the value turned back through
// the instrument's scaling (fullScale at the count 23542.35, scaleOffset), held within
// the 16-bit range. A file signal gives its counts as they stand.
std::int16_t RawCountAt(const Scenario& scenario, std::int64_t tMs);

// The count that the program's scaling turns into value.
std::int16_t ValueToRaw(const Scenario& scenario, double value);

} // namespace kantrel::sim
