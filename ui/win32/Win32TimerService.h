#pragma once

#include <windows.h>

#include <map>

#include "ui/TimerService.h"

namespace uhf {

// Window timers through SetTimer; the window's procedure hands WM_TIMER to Tick.
class Win32TimerService : public TimerService {
  public:
    void SetWindow(HWND window) { window_ = window; }

    void Start(int timerId, std::chrono::milliseconds period, std::function<void()> tick) override;
    void Kill(int timerId) override;
    bool IsRunning(int timerId) const override;
    // True when the WM_TIMER was one of ours.
    bool Tick(WPARAM event);

  private:
    // SetTimer keeps 0 for "no timer": our ids are offset by one.
    static UINT_PTR EventOf(int timerId) { return static_cast<UINT_PTR>(timerId) + 1; }

    HWND window_ = nullptr;
    std::map<int, std::function<void()>> ticks_;
};

}  // namespace uhf
