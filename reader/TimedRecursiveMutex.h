#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace uhf {

// A mutex that its owner may take again (released as often as taken), and that others wait for
// with a time limit on the steady clock. Meets the standard's TimedLockable requirements.
//
// It stands in for std::recursive_timed_mutex: with this toolchain the standard one waits in
// pthread_mutex_clocklock, which ThreadSanitizer does not follow, so every timed wait would show
// up as a false report and hide real ones.
class TimedRecursiveMutex {
  public:
    TimedRecursiveMutex() = default;
    TimedRecursiveMutex(const TimedRecursiveMutex&) = delete;
    TimedRecursiveMutex& operator=(const TimedRecursiveMutex&) = delete;

    void lock() {
        std::unique_lock<std::mutex> guard(state);
        released.wait(guard, [this] { return TakeLocked(); });
    }

    bool try_lock() {
        std::lock_guard<std::mutex> guard(state);
        return TakeLocked();
    }

    template <typename Rep, typename Period>
    bool try_lock_for(const std::chrono::duration<Rep, Period>& limit) {
        return try_lock_until(std::chrono::steady_clock::now() + limit);
    }

    template <typename Clock, typename Duration>
    bool try_lock_until(const std::chrono::time_point<Clock, Duration>& deadline) {
        std::unique_lock<std::mutex> guard(state);
        return released.wait_until(guard, deadline, [this] { return TakeLocked(); });
    }

    void unlock() {
        std::lock_guard<std::mutex> guard(state);
        if (depth > 0 && --depth == 0) {
            owner = std::thread::id();
            released.notify_one();
        }
    }

  private:
    // With `state` held: takes the mutex if it is free or already ours.
    bool TakeLocked() {
        const std::thread::id self = std::this_thread::get_id();
        if (depth == 0) {
            owner = self;
        } else if (owner != self) {
            return false;
        }
        ++depth;
        return true;
    }

    std::mutex state;
    std::condition_variable released;
    std::thread::id owner;
    int depth = 0;
};

}  // namespace uhf
