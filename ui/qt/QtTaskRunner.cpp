#include "ui/qt/QtTaskRunner.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

namespace uhf {

void QtTaskRunner::Run(std::function<void()> work, std::function<void()> done) {
    QEventLoop loop;
    std::thread worker([&loop, &work] {
        work();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // The quit is queued, so it cannot come before the loop runs.
    loop.exec();
    worker.join();
    done();
}

}  // namespace uhf
