#include "sim/sim_clock.h"

#include <algorithm>

namespace kantrel::sim {

void SimClock::AddWaiter(std::mutex&, std::condition_variable&) {}
void SimClock::RemoveWaiter(std::condition_variable&) {}

std::int64_t RealClock::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_)
        .count();
}

bool RealClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                          std::int64_t deadlineMs, const std::function<bool()>& ready) {
    if (deadlineMs == kNever) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_until(lock, start_ + std::chrono::milliseconds(deadlineMs), ready);
}

bool ManualClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                            std::int64_t deadlineMs, const std::function<bool()>& ready) {
    cv.wait(lock, [&] { return ready() || NowMs() >= deadlineMs; });
    return ready();
}

void ManualClock::AddWaiter(std::mutex& mutex, std::condition_variable& cv) {
    std::lock_guard lock(waitersMutex_);
    waiters_.push_back({&mutex, &cv});
}

void ManualClock::RemoveWaiter(std::condition_variable& cv) {
    std::lock_guard lock(waitersMutex_);
    std::erase_if(waiters_, [&](const Waiter& w) { return w.cv == &cv; });
}

void ManualClock::Advance(std::int64_t ms) {
    now_.fetch_add(ms);
    std::lock_guard lock(waitersMutex_);
    for (const Waiter& w : waiters_) {
        // Taking the waiter's mutex orders the new time before its next check, so the
        // wake-up cannot fall between its check and its wait.
        std::lock_guard waiterLock(*w.mutex);
        w.cv->notify_all();
    }
}

} // namespace kantrel::sim
