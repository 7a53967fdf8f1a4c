#pragma once

#include <chrono>
#include <functional>

namespace uhf {

// The window timers of a presenter, ticking on the window's thread.
class TimerService {
  public:
    virtual ~TimerService() = default;
    // Starts the timer, replacing one already running under the same identifier.
    virtual void Start(int timerId, std::chrono::milliseconds period,
                       std::function<void()> tick) = 0;
    virtual void Kill(int timerId) = 0;
    virtual bool IsRunning(int timerId) const = 0;
};

}  // namespace uhf
