#pragma once

#include <QObject>
#include <array>

#include "upgrade/TransferTimers.h"

class QTimer;

namespace uhf {

// The transfer's three one-shot timers as window timers. Precise: the transfer's schedule says
// "never earlier", which Qt's default coarse timers do not keep (they may fire 5 % early).
class QtTransferTimers : public TransferTimers {
  public:
    static constexpr int kTimerCount = 3;

    // The timers are children of `owner`, named "transferTimer0" to "transferTimer2".
    explicit QtTransferTimers(QObject* owner);

    void Arm(int id, int milliseconds) override;
    void Stop(int id) override;
    void Pause(int milliseconds) override;
    void SetExpiryHandler(ExpiryHandler handler) override;

    void StopAll();

  private:
    std::array<QTimer*, kTimerCount> timers{};
    ExpiryHandler expiry;
};

}  // namespace uhf
