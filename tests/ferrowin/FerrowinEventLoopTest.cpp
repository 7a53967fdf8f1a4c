// The event loop of ferrowin-cli on the real steady clock. Timing is checked only from below (an
// expiry never comes early) and against hangs, so a busy machine cannot fail these tests.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>
#include <vector>

#include "ferrowin/cli/FerrowinEventLoop.h"

namespace uhf {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

TEST(FerrowinEventLoop, TimersExpireInDeadlineOrderNeverEarlyAndStoppedOnesNever) {
    FerrowinEventLoop loop;
    std::vector<std::pair<int, Clock::duration>> fired;
    const Clock::time_point start = Clock::now();
    loop.SetExpiryHandler([&](int id) {
        fired.emplace_back(id, Clock::now() - start);
        if (id == 0) {
            loop.Quit();
        }
    });
    loop.Arm(0, 90);
    loop.Arm(1, 30);
    loop.Arm(2, 60);
    loop.Arm(2, 20);  // restarted: 20 ms from now
    loop.Arm(1, 40);
    loop.Stop(1);
    loop.Arm(1, 50);
    loop.Run();

    ASSERT_EQ(fired.size(), 3U);
    EXPECT_EQ(fired[0].first, 2);
    EXPECT_EQ(fired[1].first, 1);
    EXPECT_EQ(fired[2].first, 0);
    EXPECT_GE(fired[0].second, milliseconds(20));
    EXPECT_GE(fired[1].second, milliseconds(50));
    EXPECT_GE(fired[2].second, milliseconds(90));
}

TEST(FerrowinEventLoop, TimerArmedAgainInItsHandlerExpiresAgain) {
    FerrowinEventLoop loop;
    int expiries = 0;
    loop.SetExpiryHandler([&](int id) {
        if (++expiries < 3) {
            loop.Arm(id, 10);
        } else {
            loop.Quit();
        }
    });
    loop.Arm(0, 10);
    loop.Run();
    EXPECT_EQ(expiries, 3);
}

TEST(FerrowinEventLoop, WakeFromAnotherThreadRunsTheHandlerOnTheLoopsThread) {
    FerrowinEventLoop loop;
    const auto owner = std::this_thread::get_id();
    bool onOwnerThread = false;
    loop.SetWakeHandler([&] {
        onOwnerThread = std::this_thread::get_id() == owner;
        loop.Quit();
    });
    // A guard against a lost wake-up: the test fails, it does not hang.
    bool guardFired = false;
    loop.SetExpiryHandler([&](int) {
        guardFired = true;
        loop.Quit();
    });
    loop.Arm(0, 10000);
    std::thread other([&loop] { loop.Wake(); });
    loop.Run();
    other.join();
    EXPECT_FALSE(guardFired);
    EXPECT_TRUE(onOwnerThread);
}

TEST(FerrowinEventLoop, SteadyWakeUpsDoNotHoldADueTimerBack) {
    FerrowinEventLoop loop;
    std::atomic<bool> flooding{true};
    int wakes = 0;
    loop.SetWakeHandler([&] { ++wakes; });
    int expired = -1;
    loop.SetExpiryHandler([&](int id) {
        expired = id;
        loop.Quit();
    });
    std::thread flood([&] {
        while (flooding) {
            loop.Wake();
        }
    });
    loop.Arm(1, 30);
    loop.Run();
    flooding = false;
    flood.join();
    EXPECT_EQ(expired, 1);
    EXPECT_GT(wakes, 0);
}

TEST(FerrowinEventLoop, TickComesPeriodicallyWhileTheLoopRuns) {
    FerrowinEventLoop loop;
    int ticks = 0;
    const Clock::time_point start = Clock::now();
    loop.SetTick(20, [&] {
        if (++ticks == 3) {
            loop.Quit();
        }
    });
    loop.Run();
    EXPECT_EQ(ticks, 3);
    EXPECT_GE(Clock::now() - start, milliseconds(60));
}

}  // namespace
}  // namespace uhf
