// Allowed: the core, the store, a library header.
#include "core/ports.h"
#include "measure/meas_data.h"
#include "fmt/format.h"
