#include "ferrowin/qt/QtTransferTimers.h"

#include <QThread>
#include <QTimer>
#include <utility>

namespace uhf {

QtTransferTimers::QtTransferTimers(QObject* owner) {
    for (int id = 0; id < kTimerCount; ++id) {
        auto* timer = new QTimer(owner);
        timer->setObjectName(QStringLiteral("transferTimer%1").arg(id));
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer, &QTimer::timeout, owner, [this, id] {
            if (expiry) {
                expiry(id);
            }
        });
        timers[static_cast<std::size_t>(id)] = timer;
    }
}

void QtTransferTimers::Arm(int id, int milliseconds) {
    if (id >= 0 && id < kTimerCount) {
        timers[static_cast<std::size_t>(id)]->start(milliseconds);
    }
}

void QtTransferTimers::Stop(int id) {
    if (id >= 0 && id < kTimerCount) {
        timers[static_cast<std::size_t>(id)]->stop();
    }
}

void QtTransferTimers::Pause(int milliseconds) {
    // Blocks the event loop on purpose: nothing else may be handled meanwhile.
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void QtTransferTimers::SetExpiryHandler(ExpiryHandler handler) {
    expiry = std::move(handler);
}

void QtTransferTimers::StopAll() {
    for (QTimer* timer : timers) {
        timer->stop();
    }
}

}  // namespace uhf
