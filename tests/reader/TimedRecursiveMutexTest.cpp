#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "reader/TimedRecursiveMutex.h"

namespace uhf {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool TakenFromAnotherThread(TimedRecursiveMutex& mutex, milliseconds limit) {
    bool taken = false;
    std::thread other([&] {
        taken = mutex.try_lock_for(limit);
        if (taken) {
            mutex.unlock();
        }
    });
    other.join();
    return taken;
}

TEST(TimedRecursiveMutexTest, OwnerTakesItAgainAndReleasesItAsOftenAsTaken) {
    TimedRecursiveMutex mutex;
    mutex.lock();
    ASSERT_TRUE(mutex.try_lock_for(milliseconds(0)));
    ASSERT_TRUE(mutex.try_lock());
    mutex.unlock();
    mutex.unlock();
    EXPECT_FALSE(TakenFromAnotherThread(mutex, milliseconds(10))) << "still held once";
    mutex.unlock();
    EXPECT_TRUE(TakenFromAnotherThread(mutex, milliseconds(10)));
}

TEST(TimedRecursiveMutexTest, OtherThreadsWaitNoLongerThanTheirLimit) {
    TimedRecursiveMutex mutex;
    std::unique_lock<TimedRecursiveMutex> held(mutex);
    const auto start = Clock::now();
    EXPECT_FALSE(TakenFromAnotherThread(mutex, milliseconds(100)));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, milliseconds(95));
    EXPECT_LT(waited, milliseconds(2000));
}

TEST(TimedRecursiveMutexTest, AWaiterGetsItWhenReleased) {
    TimedRecursiveMutex mutex;
    mutex.lock();
    bool taken = false;
    std::thread waiter([&] {
        taken = mutex.try_lock_for(milliseconds(5000));
        if (taken) {
            mutex.unlock();
        }
    });
    std::this_thread::sleep_for(milliseconds(30));
    mutex.unlock();
    waiter.join();
    EXPECT_TRUE(taken);
}

}  // namespace
}  // namespace uhf
