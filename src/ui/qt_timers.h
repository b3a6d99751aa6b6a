#pragma once

// Main-thread timers on QTimer: they tick also while a modal box is open.

#include "core/ports.h"

namespace kantrel::ui {

class QtTimerFactory : public TimerFactory {
public:
    std::unique_ptr<MainThreadTimer> CreateTimer(std::function<void()> tick) override;
    // Stops the timer at once; its QTimer goes when control is back in the event loop,
    // so that a timer can release itself from its own tick.
    void ReleaseLater(std::unique_ptr<MainThreadTimer> timer) override;
};

} // namespace kantrel::ui
