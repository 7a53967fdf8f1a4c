#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "upgrade/TransferTimers.h"

namespace uhf {

// The event loop of ferrowin-cli, on the thread that calls Run: the transfer's three one-shot
// timers on the steady clock, wake-ups from other threads (the serial control's receive thread)
// and a periodic tick for the program's own checks. Handlers never overlap; a wake-up is handled
// before a timer that is due at the same moment, as an answer that came in time should be.
class FerrowinEventLoop : public TransferTimers {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kTimerCount = 3;

    void Arm(int id, int milliseconds) override;
    void Stop(int id) override;
    void Pause(int milliseconds) override;
    void SetExpiryHandler(ExpiryHandler handler) override;

    // Called on the loop's thread after one or more Wake calls.
    void SetWakeHandler(std::function<void()> handler);
    // Called on the loop's thread every `milliseconds` while the loop runs.
    void SetTick(int milliseconds, std::function<void()> handler);

    // Callable from any thread.
    void Wake();

    // Handles wake-ups, expiries and ticks until Quit.
    void Run();
    // From a handler: Run returns once that handler is done.
    void Quit() { quitting = true; }

  private:
    struct Timer {
        bool armed = false;
        Clock::time_point deadline;
        std::uint64_t sequence = 0;  // the earlier armed of two timers due together fires first
    };
    // The timer due first, or -1.
    int NextTimer() const;

    std::array<Timer, kTimerCount> timers{};
    std::uint64_t armings = 0;
    ExpiryHandler expiry;
    std::function<void()> wakeHandler;
    std::function<void()> tickHandler;
    Clock::duration tickPeriod = Clock::duration::zero();
    bool quitting = false;

    std::mutex mutex;
    std::condition_variable woken;
    bool wakePending = false;  // guarded by mutex
};

}  // namespace uhf
