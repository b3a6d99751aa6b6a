#pragma once

#include "core/ports.h"

namespace kantrel {

// The local date and time of the machine.
class SystemClock : public Clock {};

}  // namespace kantrel
