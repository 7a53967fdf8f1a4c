#include "common/PortWatcher.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace uhf {

namespace {

// What is in `a` and not in `b`, in a's order.
std::vector<std::string> Missing(const std::vector<std::string>& a,
                                 const std::vector<std::string>& b) {
    std::vector<std::string> result;
    std::copy_if(a.begin(), a.end(), std::back_inserter(result), [&b](const std::string& item) {
        return std::find(b.begin(), b.end(), item) == b.end();
    });
    return result;
}

}  // namespace

PortWatcher::PortWatcher(Lister list, std::chrono::milliseconds every)
    : lister(std::move(list)), interval(every), last(lister()) {}

PortWatcher::~PortWatcher() {
    Stop();
}

PortWatcher::Change PortWatcher::Poll() {
    Change change;
    change.ports = lister();
    change.added = Missing(change.ports, last);
    change.removed = Missing(last, change.ports);
    last = change.ports;
    return change;
}

void PortWatcher::Start(std::function<void(const Change&)> changed) {
    Stop();
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = false;
    }
    thread = std::thread([this, changed = std::move(changed)] {
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_for(lock, interval, [this] { return stopping; })) {
            lock.unlock();
            const Change change = Poll();
            if (!change.Empty()) {
                changed(change);
            }
            lock.lock();
        }
    });
}

void PortWatcher::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    if (thread.joinable()) {
        thread.join();
    }
}

std::string PortWatcher::KeepChoice(const std::string& current,
                                    const std::vector<std::string>& ports) {
    if (std::find(ports.begin(), ports.end(), current) != ports.end()) {
        return current;
    }
    return ports.empty() ? std::string() : ports.front();
}

}  // namespace uhf
