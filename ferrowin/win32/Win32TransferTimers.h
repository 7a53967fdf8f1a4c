#pragma once

#include <windows.h>

#include <set>
#include <utility>

#include "upgrade/TransferTimers.h"

namespace uhf {

// The upgrade transfer's one-shot timers as window timers (SetTimer); the window's procedure
// hands WM_TIMER to Tick, which kills the timer before the transfer hears of it.
class Win32TransferTimers : public TransferTimers {
  public:
    // Window timer ids of the transfer's timers: kFirstEvent + the transfer's id.
    static constexpr UINT_PTR kFirstEvent = 0x100;
    static constexpr UINT_PTR kEvents = 16;

    void SetWindow(HWND window) { window_ = window; }
    void StopAll();

    void Arm(int id, int milliseconds) override;
    void Stop(int id) override;
    void Pause(int milliseconds) override;
    void SetExpiryHandler(ExpiryHandler handler) override { handler_ = std::move(handler); }

    // True when the WM_TIMER was one of ours.
    bool Tick(WPARAM event);

  private:
    HWND window_ = nullptr;
    std::set<int> armed_;
    ExpiryHandler handler_;
};

}  // namespace uhf
