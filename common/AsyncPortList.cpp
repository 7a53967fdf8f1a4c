#include "common/AsyncPortList.h"

#include <utility>

namespace uhf {

AsyncPortList::AsyncPortList(Source source, std::function<void()> found,
                             std::chrono::milliseconds settle)
    : source_(std::move(source)),
      found_(std::move(found)),
      settle_(settle),
      ports_(source_()),
      thread_([this] { Run(); }) {}

AsyncPortList::~AsyncPortList() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

std::vector<PortInfo> AsyncPortList::List() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ports_;
}

void AsyncPortList::Rescan() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        due_ = Clock::now() + settle_;
    }
    wake_.notify_all();
}

void AsyncPortList::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        if (!due_) {
            wake_.wait(lock);
            continue;
        }
        if (Clock::now() < *due_) {
            wake_.wait_until(lock, *due_);  // a later Rescan moves the time on
            continue;
        }
        due_.reset();
        lock.unlock();
        std::vector<PortInfo> ports = source_();
        lock.lock();
        if (ports != ports_) {
            ports_ = std::move(ports);
            if (stopping_) {
                break;  // its window is going
            }
            lock.unlock();
            found_();
            lock.lock();
        }
    }
}

}  // namespace uhf
