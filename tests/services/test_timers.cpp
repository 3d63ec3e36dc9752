// The timer service on a Qt Core event loop: order of firing, cancelling, timers
// started from inside a callback.
#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <vector>

#include "interp/interp.h"
#include "interp/services.h"
#include "interp/timer_service.h"

namespace {

void RunFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

TEST(TimerService, FiresInOrderAndCancelled)
{
    TPoruBase st;
    auto* timers = FindService<ITimerService>(st);
    ASSERT_NE(timers, nullptr);
    EXPECT_EQ(timers, FindService<ITimerService>(st));   // one instance per state
    std::vector<int> fired;
    timers->Start(30, [&] { fired.push_back(2); });
    timers->Start(0, [&] { fired.push_back(1); });
    const int cancelled = timers->Start(10, [&] { fired.push_back(99); });
    EXPECT_EQ(timers->Pending(), 3);
    timers->Cancel(cancelled);
    timers->Cancel(12345);   // unknown ids are ignored
    RunFor(120);
    EXPECT_EQ(fired, (std::vector<int>{1, 2}));
    EXPECT_EQ(timers->Pending(), 0);
}

TEST(TimerService, CallbackStartsAnotherTimer)
{
    TPoruBase st;
    auto* timers = FindService<ITimerService>(st);
    int ticks = 0;
    std::function<void()> tick = [&] {
        if (++ticks < 3)
            timers->Start(1, tick);
    };
    timers->Start(1, tick);
    RunFor(100);
    EXPECT_EQ(ticks, 3);
}

}   // namespace
