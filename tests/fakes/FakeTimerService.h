#pragma once

#include <chrono>
#include <functional>
#include <map>

#include "ui/TimerService.h"

namespace uhf::test {

// Timers that tick only when the test fires them.
class FakeTimerService : public TimerService {
  public:
    struct Timer {
        std::chrono::milliseconds period{0};
        std::function<void()> tick;
    };

    void Start(int timerId, std::chrono::milliseconds period, std::function<void()> tick) override {
        timers[timerId] = Timer{period, std::move(tick)};
        ++starts;
    }
    void Kill(int timerId) override { timers.erase(timerId); }
    bool IsRunning(int timerId) const override { return timers.count(timerId) != 0; }

    void Fire(int timerId) {
        const auto found = timers.find(timerId);
        if (found != timers.end()) {
            auto tick = found->second.tick;
            tick();
        }
    }

    std::map<int, Timer> timers;
    int starts = 0;
};

}  // namespace uhf::test
