#include "device/measuring_thread.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "device/unit_usb.h"
#include "measure/meas_data.h"

namespace kantrel {

namespace {

constexpr std::chrono::milliseconds kFirstRoomWait{1};
constexpr std::chrono::milliseconds kLongestRoomWait{10}; // one frame period

// The link as the store sees it, reading on behalf of this thread: a message that the
// read must show waits for the main thread only until this thread's stop is requested.
class StoppableFrameSource : public FrameSource {
public:
    StoppableFrameSource(UnitUSB& link, std::stop_token stop) : link_(link), stop_(std::move(stop)) {}
    bool ReadMeasurementFrame(std::span<std::uint8_t, kFrameBytes> frame) override {
        return link_.ReadMeasurementFrame(frame, stop_);
    }

private:
    UnitUSB& link_;
    std::stop_token stop_;
};

void MeasuringLoop(UnitUSB& link, const std::stop_token& stop) {
    StoppableFrameSource source(link, stop);
    std::chrono::milliseconds wait = kFirstRoomWait;
    while (!stop.stop_requested()) {
        // measData is replaced only after this thread has been joined.
        TMeasData* store = measData;
        if (store == nullptr)
            return;
        switch (store->AcquireFrame(source)) {
        case AcquireResult::Stored:
            wait = kFirstRoomWait;
            break;
        case AcquireResult::NoRoom:
            // The ring fills only while the main thread is held up or the readout has not
            // completed, often for long stretches. Asking again at once would spin a
            // core. The wait starts at a millisecond and doubles up to one frame period,
            // so that reading resumes at most one frame late: the instrument's frames
            // wait in its buffer until they are read, and none is lost or reordered.
            std::this_thread::sleep_for(wait);
            wait = std::min(2 * wait, kLongestRoomWait);
            break;
        case AcquireResult::ReadFailed:
            return;
        }
    }
}

} // namespace

TdataThread2::TdataThread2(UnitUSB& link)
    : WorkerThread("measuringData", [&link](std::stop_token stop) { MeasuringLoop(link, stop); }) {}

} // namespace kantrel
