// The event loop of kantrel731-record: its timers on a paced clock, and work posted from
// other threads.

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "record/event_loop.h"

namespace kantrel::record {
namespace {

// Time that jumps to whatever the loop waits for.
class JumpingPacer : public LoopPacer {
public:
    std::int64_t NowMs() const override { return now; }
    void WaitUntil(std::int64_t deadlineMs, const std::function<bool()>& woken) override {
        ++waits;
        if (!woken() && deadlineMs != std::numeric_limits<std::int64_t>::max())
            now = std::max(now, deadlineMs);
    }
    std::int64_t now = 0;
    int waits = 0;
};

class PacedLoopTest : public testing::Test {
protected:
    // A timer that logs "<name>@<time>" and ends the loop at endMs.
    std::unique_ptr<MainThreadTimer> Logging(const std::string& name, std::int64_t endMs = 1000000) {
        return loop.CreateTimer([this, name, endMs] {
            log.push_back(name + "@" + std::to_string(pacer.now));
            if (pacer.now >= endMs)
                loop.Quit();
        });
    }
    JumpingPacer pacer;
    EventLoop loop{&pacer};
    std::vector<std::string> log;
};

TEST_F(PacedLoopTest, TimersTickInTimeOrderAtTheirIntervals) {
    auto fast = Logging("a");
    auto slow = Logging("b", 50);
    fast->Start(10);
    slow->Start(25);
    EXPECT_TRUE(fast->IsActive());
    loop.Run();
    EXPECT_EQ(log, (std::vector<std::string>{"a@10", "a@20", "b@25", "a@30", "a@40", "a@50", "b@50"}));
}

TEST_F(PacedLoopTest, StoppedAndDestroyedTimersStayQuiet) {
    auto stopped = Logging("stopped");
    auto destroyed = Logging("destroyed");
    auto end = Logging("end", 30);
    stopped->Start(10);
    destroyed->Start(10);
    end->Start(30);
    stopped->Stop();
    destroyed.reset();
    EXPECT_FALSE(stopped->IsActive());
    loop.Run();
    EXPECT_EQ(log, std::vector<std::string>{"end@30"});
}

TEST_F(PacedLoopTest, TimerReleasedInItsOwnTickEndsThereAndNewTimersWaitTheirInterval) {
    std::unique_ptr<MainThreadTimer> once;
    std::unique_ptr<MainThreadTimer> created;
    once = loop.CreateTimer([&] {
        log.push_back("once@" + std::to_string(pacer.now));
        loop.ReleaseLater(std::move(once));
        created = Logging("created", 35);
        created->Start(25);
    });
    once->Start(10);
    loop.Run();
    EXPECT_EQ(log, (std::vector<std::string>{"once@10", "created@35"}));
}

TEST_F(PacedLoopTest, TimerThatFellBehindSkipsTheTicksItMissed) {
    auto timer = Logging("t", 70);
    timer->Start(10);
    auto jump = loop.CreateTimer([&] { pacer.now = 55; });
    jump->Start(5);
    loop.Run();
    // At 5 the clock jumps to 55: the tick due at 10 runs late, once, and the next
    // follows one interval later.
    EXPECT_EQ(log, (std::vector<std::string>{"t@55", "t@65", "t@75"}));
}

TEST_F(PacedLoopTest, PostedWorkRunsBeforeTimeMovesOn) {
    auto timer = loop.CreateTimer([&] {
        log.push_back("tick@" + std::to_string(pacer.now));
        loop.Post([&] { log.push_back("posted@" + std::to_string(pacer.now)); });
        if (pacer.now >= 20)
            loop.Quit();
    });
    timer->Start(10);
    loop.Run();
    // The work posted at 20 is not run: the quit came first.
    EXPECT_EQ(log, (std::vector<std::string>{"tick@10", "posted@10", "tick@20"}));
}

TEST(EventLoop, WorkPostedFromOtherThreadsRunsOnTheLoopThreadInOrder) {
    EventLoop loop;
    std::vector<int> ran;
    std::vector<std::thread::id> threads;
    std::thread poster([&] {
        for (int i = 0; i < 200; ++i)
            loop.Post([&, i] {
                ran.push_back(i);
                threads.push_back(std::this_thread::get_id());
            });
        loop.Post([&] { loop.Quit(); });
    });
    loop.Run();
    poster.join();
    ASSERT_EQ(ran.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
    for (const auto& id : threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

TEST(EventLoop, QuitFromAnotherThreadWakesAnIdleLoop) {
    EventLoop loop;
    std::thread quitter([&] { loop.Quit(); });
    loop.Run(); // no timer: only the quit can end the wait
    quitter.join();
}

} // namespace
} // namespace kantrel::record
