// Main-thread timers on QTimer, including a timer that releases itself from its tick.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>

#include "ui/qt_timers.h"

namespace kantrel::ui {
namespace {

// A 0 ms timer is due at the next pass of the event loop.
void ProcessEventsAFewTimes() {
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

TEST(QtTimersTest, TicksWhileActiveAndStops) {
    QtTimerFactory factory;
    int ticks = 0;
    auto timer = factory.CreateTimer([&] { ++ticks; });
    EXPECT_FALSE(timer->IsActive());
    ProcessEventsAFewTimes();
    EXPECT_EQ(ticks, 0);
    timer->Start(0);
    EXPECT_TRUE(timer->IsActive());
    ProcessEventsAFewTimes();
    EXPECT_GT(ticks, 0);
    timer->Stop();
    const int stoppedAt = ticks;
    ProcessEventsAFewTimes();
    EXPECT_EQ(ticks, stoppedAt);
}

TEST(QtTimersTest, TimerReleasedFromItsOwnTickStopsAtOnce) {
    QtTimerFactory factory;
    int ticks = 0;
    std::unique_ptr<MainThreadTimer> timer;
    timer = factory.CreateTimer([&] {
        ++ticks;
        factory.ReleaseLater(std::move(timer));
    });
    timer->Start(0);
    ProcessEventsAFewTimes();
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(timer, nullptr);
}

}  // namespace
}  // namespace kantrel::ui
