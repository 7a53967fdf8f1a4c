#include "ui/qt/QtTimerService.h"

namespace uhf {

void QtTimerService::Start(int timerId, std::chrono::milliseconds period,
                           std::function<void()> tick) {
    auto timer = std::make_unique<QTimer>();
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, std::move(tick));
    timer->start(period);
    // Replacing a running timer deletes the old one, which stops it.
    timers_[timerId] = std::move(timer);
}

void QtTimerService::Kill(int timerId) {
    timers_.erase(timerId);
}

bool QtTimerService::IsRunning(int timerId) const {
    const auto found = timers_.find(timerId);
    return found != timers_.end() && found->second->isActive();
}

}  // namespace uhf
