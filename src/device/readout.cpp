#include "device/readout.h"

#include <algorithm>

#include "core/link_flags.h"
#include "core/ports.h"
#include "device/command_channel.h"
#include "measure/meas_data.h"

namespace kantrel {

int readoutStep = 0;
int readoutDelayTicks = 0;
int readoutRetryTicks = 0;

void ReadoutTimerTick(TMeasData& store) {
    if (!instrumentConnected.load())
        return;
    if (readoutDelayTicks < kReadoutStartDelayTicks) {
        ++readoutDelayTicks;
        return;
    }
    if (++readoutRetryTicks > kReadoutRetryTicks)
        commandPending.store(false);
    // The slot is taken until the command thread has read a packet.
    if (commandPending.exchange(true))
        return;
    readoutRetryTicks = 0;
    if (!ReadoutStep())
        return;

    // The timer goes from inside its own tick: it is stopped now and freed later.
    timers().ReleaseLater(std::move(store.readoutTimer));
    store.readoutDone = true;
    window().SetTensologKeys(true);
    window().EnableReadoutControls();
}

bool ReadoutStep() {
    if (readoutStep >= 0 && readoutStep < kReadoutCheckStep) {
        SendCommand(kReadoutCommands[static_cast<std::size_t>(readoutStep)]);
        ++readoutStep;
        return false;
    }
    readoutStep = 0;
    const bool complete =
        std::all_of(answerReceived.begin(), answerReceived.end(),
                    [](const std::atomic<bool>& f) { return f.load(std::memory_order_acquire); });
    // An incomplete pass keeps the slot taken: the check uses it up.
    if (!complete)
        return false;
    commandPending.store(false);
    return true;
}

} // namespace kantrel
