#include "record/event_loop.h"

#include <algorithm>
#include <chrono>
#include <limits>

namespace kantrel::record {

namespace {

constexpr std::int64_t kNoDeadline = std::numeric_limits<std::int64_t>::max();

std::int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

struct EventLoop::TimerSlot {
    std::function<void()> tick;
    int intervalMs = 0;
    std::int64_t dueMs = 0;
    bool active = false;
};

namespace {

class LoopTimer : public MainThreadTimer {
public:
    LoopTimer(const EventLoop& loop, std::shared_ptr<EventLoop::TimerSlot> slot)
        : loop_(loop), slot_(std::move(slot)) {}
    ~LoopTimer() override { slot_->active = false; }
    LoopTimer(const LoopTimer&) = delete;
    LoopTimer& operator=(const LoopTimer&) = delete;

    void Start(int intervalMs) override {
        slot_->intervalMs = std::max(1, intervalMs);
        slot_->dueMs = loop_.NowMs() + slot_->intervalMs;
        slot_->active = true;
    }
    void Stop() override { slot_->active = false; }
    bool IsActive() const override { return slot_->active; }

private:
    const EventLoop& loop_;
    std::shared_ptr<EventLoop::TimerSlot> slot_;
};

} // namespace

EventLoop::EventLoop(LoopPacer* pacer) : pacer_(pacer), startNs_(SteadyNs()) {}

EventLoop::~EventLoop() = default;

std::int64_t EventLoop::NowMs() const {
    if (pacer_ != nullptr)
        return pacer_->NowMs();
    return (SteadyNs() - startNs_) / 1000000;
}

std::unique_ptr<MainThreadTimer> EventLoop::CreateTimer(std::function<void()> tick) {
    auto slot = std::make_shared<TimerSlot>();
    slot->tick = std::move(tick);
    timers_.push_back(slot);
    return std::make_unique<LoopTimer>(*this, std::move(slot));
}

void EventLoop::ReleaseLater(std::unique_ptr<MainThreadTimer> timer) {
    if (!timer)
        return;
    timer->Stop();
    released_.push_back(std::move(timer));
}

void EventLoop::Post(std::function<void()> fn) {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
    changed_.notify_all();
}

void EventLoop::Quit() {
    std::lock_guard lock(mutex_);
    quit_ = true;
    changed_.notify_all();
}

void EventLoop::Run() {
    for (;;) {
        RunPosted();
        {
            std::lock_guard lock(mutex_);
            if (quit_)
                return;
        }
        RunDueTimers();
        released_.clear();
        Wait(NextDeadline());
    }
}

void EventLoop::RunPosted() {
    std::deque<std::function<void()>> work;
    {
        std::lock_guard lock(mutex_);
        work.swap(posted_);
    }
    for (auto& fn : work) {
        {
            // A quit from inside the work leaves the rest of it unrun.
            std::lock_guard lock(mutex_);
            if (quit_)
                return;
        }
        if (fn)
            fn();
    }
}

void EventLoop::RunDueTimers() {
    std::erase_if(timers_, [](const std::weak_ptr<TimerSlot>& t) { return t.expired(); });
    // A tick may create, start, stop or release timers: work on a copy of the list.
    std::vector<std::shared_ptr<TimerSlot>> due;
    const std::int64_t now = NowMs();
    for (const auto& weak : timers_)
        if (auto slot = weak.lock(); slot && slot->active && slot->dueMs <= now)
            due.push_back(std::move(slot));
    std::stable_sort(due.begin(), due.end(),
                     [](const auto& a, const auto& b) { return a->dueMs < b->dueMs; });
    for (const auto& slot : due) {
        if (!slot->active || slot->dueMs > now)
            continue;
        // A timer that fell behind skips the ticks it missed, as a toolkit timer does.
        slot->dueMs += slot->intervalMs;
        if (slot->dueMs <= now)
            slot->dueMs = now + slot->intervalMs;
        slot->tick();
        std::lock_guard lock(mutex_);
        if (quit_)
            return;
    }
}

std::int64_t EventLoop::NextDeadline() const {
    std::int64_t next = kNoDeadline;
    for (const auto& weak : timers_)
        if (auto slot = weak.lock(); slot && slot->active)
            next = std::min(next, slot->dueMs);
    return next;
}

void EventLoop::Wait(std::int64_t deadlineMs) {
    if (pacer_ != nullptr) {
        {
            std::lock_guard lock(mutex_);
            if (HasWorkLocked())
                return;
        }
        pacer_->WaitUntil(deadlineMs, [this] {
            std::lock_guard lock(mutex_);
            return HasWorkLocked();
        });
        return;
    }
    std::unique_lock lock(mutex_);
    if (deadlineMs == kNoDeadline) {
        changed_.wait(lock, [this] { return HasWorkLocked(); });
        return;
    }
    const auto until = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(startNs_)) +
                       std::chrono::milliseconds(deadlineMs);
    changed_.wait_until(lock, until, [this] { return HasWorkLocked(); });
}

} // namespace kantrel::record
