#include "device/measuring_thread.h"

#include <thread>

#include "device/unit_usb.h"
#include "measure/meas_data.h"

namespace kantrel {

namespace {

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
    while (!stop.stop_requested()) {
        // measData is replaced only after this thread has been joined.
        TMeasData* store = measData;
        if (store == nullptr)
            return;
        switch (store->AcquireFrame(source)) {
        case AcquireResult::Stored:
            break;
        case AcquireResult::NoRoom:
            std::this_thread::yield();
            break;
        case AcquireResult::ReadFailed:
            return;
        }
    }
}

} // namespace

TdataThread2::TdataThread2(UnitUSB& link)
    : worker_("measuringData", [&link](std::stop_token stop) { MeasuringLoop(link, stop); }) {}

} // namespace kantrel
