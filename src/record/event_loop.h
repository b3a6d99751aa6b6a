#pragma once

// The main thread of kantrel731-record: a small event loop of plain C++. It runs the
// core's main-thread timers (the store's readout timer, the program's own) and the work
// that the worker threads post to the main thread, until it is told to quit.
//
// Time comes from the wall clock, or from a pacer that makes time pass by itself: the
// simulated instrument's clock moved on whenever the program has nothing left to do, so
// that a run takes no longer than its work.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "core/ports.h"

namespace kantrel::record {

class LoopPacer {
public:
    virtual ~LoopPacer() = default;
    virtual std::int64_t NowMs() const = 0;
    // Lets the time reach deadlineMs. May return earlier when woken() holds (work was
    // posted, or the loop was told to quit); woken() may be asked from this thread only.
    virtual void WaitUntil(std::int64_t deadlineMs, const std::function<bool()>& woken) = 0;
};

class EventLoop : public TimerFactory {
public:
    // pacer null: the wall clock.
    explicit EventLoop(LoopPacer* pacer = nullptr);
    ~EventLoop() override;
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    // TimerFactory: timers are created, started and stopped on the loop's thread.
    std::unique_ptr<MainThreadTimer> CreateTimer(std::function<void()> tick) override;
    void ReleaseLater(std::unique_ptr<MainThreadTimer> timer) override;

    // Any thread: fn runs on the loop's thread, in the order posted.
    void Post(std::function<void()> fn);
    // Any thread: Run returns after the work in hand.
    void Quit();

    // Runs timers and posted work until Quit. Work still queued then is never run.
    void Run();

    std::int64_t NowMs() const;

    struct TimerSlot;

private:
    void RunPosted();
    void RunDueTimers();
    std::int64_t NextDeadline() const;
    void Wait(std::int64_t deadlineMs);
    bool HasWorkLocked() const { return quit_ || !posted_.empty(); }

    LoopPacer* pacer_;
    std::int64_t startNs_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> posted_;
    bool quit_ = false;

    // Loop thread only.
    std::vector<std::weak_ptr<TimerSlot>> timers_;
    std::vector<std::unique_ptr<MainThreadTimer>> released_;
};

} // namespace kantrel::record
