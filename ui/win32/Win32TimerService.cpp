#include "ui/win32/Win32TimerService.h"

#include <utility>

namespace uhf {

void Win32TimerService::Start(int timerId, std::chrono::milliseconds period,
                              std::function<void()> tick) {
    ticks_[timerId] = std::move(tick);
    SetTimer(window_, EventOf(timerId), static_cast<UINT>(period.count()), nullptr);
}

void Win32TimerService::Kill(int timerId) {
    KillTimer(window_, EventOf(timerId));
    ticks_.erase(timerId);
}

bool Win32TimerService::IsRunning(int timerId) const {
    return ticks_.count(timerId) != 0;
}

bool Win32TimerService::Tick(WPARAM event) {
    const auto found = ticks_.find(static_cast<int>(event) - 1);
    if (found == ticks_.end()) {
        return false;
    }
    // A tick may kill its own timer: call a copy.
    std::function<void()> tick = found->second;
    tick();
    return true;
}

}  // namespace uhf
