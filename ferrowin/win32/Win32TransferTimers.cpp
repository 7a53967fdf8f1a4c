#include "ferrowin/win32/Win32TransferTimers.h"

namespace uhf {

void Win32TransferTimers::Arm(int id, int milliseconds) {
    // SetTimer on a running id restarts it.
    SetTimer(window_, kFirstEvent + static_cast<UINT_PTR>(id),
             static_cast<UINT>(milliseconds > 0 ? milliseconds : USER_TIMER_MINIMUM), nullptr);
    armed_.insert(id);
}

void Win32TransferTimers::Stop(int id) {
    KillTimer(window_, kFirstEvent + static_cast<UINT_PTR>(id));
    armed_.erase(id);
}

void Win32TransferTimers::StopAll() {
    while (!armed_.empty()) {
        Stop(*armed_.begin());
    }
}

void Win32TransferTimers::Pause(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

bool Win32TransferTimers::Tick(WPARAM event) {
    if (event < kFirstEvent || event >= kFirstEvent + kEvents) {
        return false;
    }
    const int id = static_cast<int>(event - kFirstEvent);
    if (armed_.count(id) == 0) {
        return true;  // already in the queue when it was stopped: dropped
    }
    // Window timers repeat; the transfer's are one-shot.
    Stop(id);
    if (handler_) {
        handler_(id);
    }
    return true;
}

}  // namespace uhf
