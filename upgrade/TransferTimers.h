#pragma once

#include <functional>

namespace uhf {

// The one-shot timers of the upgrade transfer, and its one blocking pause, as its host keeps
// them: window timers in the download window, the command line's own loop in ferrowin-cli, a
// manual clock in the tests.
class TransferTimers {
  public:
    using ExpiryHandler = std::function<void(int id)>;

    virtual ~TransferTimers() = default;

    // Timer `id` expires `milliseconds` from now, never earlier; arming a running timer restarts
    // it.
    virtual void Arm(int id, int milliseconds) = 0;
    // Harmless when the timer is not running.
    virtual void Stop(int id) = 0;

    // Blocks the owner's thread; no expiry and no receive notification is handled meanwhile.
    virtual void Pause(int milliseconds) = 0;

    // Called on the owner's thread with the id of each expired timer, never inside another
    // handler; an empty handler drops expiries.
    virtual void SetExpiryHandler(ExpiryHandler handler) = 0;
};

}  // namespace uhf
