#pragma once

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "ui/TimerService.h"

namespace uhf {

// Window timers as QTimers of the window's thread.
class QtTimerService : public TimerService {
  public:
    void Start(int timerId, std::chrono::milliseconds period, std::function<void()> tick) override;
    void Kill(int timerId) override;
    bool IsRunning(int timerId) const override;

  private:
    std::map<int, std::unique_ptr<QTimer>> timers_;
};

}  // namespace uhf
