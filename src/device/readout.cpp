#include "device/readout.h"

namespace kantrel {

void ReadoutTimerTick(TMeasData& /*store*/) {}

}  // namespace kantrel
