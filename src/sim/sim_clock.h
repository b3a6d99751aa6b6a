#pragma once

// The time base of the simulated instrument: a real clock for the program, and a manual
// clock that tests move by hand, so that no test waits on the wall clock.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <vector>

namespace kantrel::sim {

inline constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

class SimClock {
public:
    virtual ~SimClock() = default;
    virtual std::int64_t NowMs() const = 0;
    // With lock held on the mutex registered for cv: waits until ready() holds or the
    // clock has reached deadlineMs (kNever: no deadline). Returns ready().
    virtual bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                           std::int64_t deadlineMs, const std::function<bool()>& ready) = 0;
    // Waiters whose condition depends on the time register here; a manual clock wakes
    // them whenever it moves.
    virtual void AddWaiter(std::mutex& mutex, std::condition_variable& cv);
    virtual void RemoveWaiter(std::condition_variable& cv);
};

class RealClock : public SimClock {
public:
    RealClock() : start_(std::chrono::steady_clock::now()) {}
    std::int64_t NowMs() const override;
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::int64_t deadlineMs,
                   const std::function<bool()>& ready) override;

private:
    std::chrono::steady_clock::time_point start_;
};

class ManualClock : public SimClock {
public:
    explicit ManualClock(std::int64_t startMs = 0) : now_(startMs) {}
    std::int64_t NowMs() const override { return now_.load(); }
    bool WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::int64_t deadlineMs,
                   const std::function<bool()>& ready) override;
    void AddWaiter(std::mutex& mutex, std::condition_variable& cv) override;
    void RemoveWaiter(std::condition_variable& cv) override;

    // Moves the clock forward and wakes every registered waiter.
    void Advance(std::int64_t ms);

private:
    struct Waiter {
        std::mutex* mutex;
        std::condition_variable* cv;
    };
    std::atomic<std::int64_t> now_;
    std::mutex waitersMutex_;
    std::vector<Waiter> waiters_;
};

} // namespace kantrel::sim
