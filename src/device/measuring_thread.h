#pragma once

// The measuring thread TdataThread2, named "measuringData": moves measurement frames from
// R2 into the sample ring of the current store until its stop is requested or a read
// fails. The pace comes from the blocking read; while the ring has no room for a frame,
// the thread waits (from a millisecond up to one frame period) and looks again, so no
// frame is lost or reordered and no core is spent on the waiting.

#include "device/worker_thread.h"

namespace kantrel {

class UnitUSB;

class TdataThread2 : public WorkerThread {
public:
    explicit TdataThread2(UnitUSB& link); // throws std::system_error
};

} // namespace kantrel
