#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace uhf {

// Notices serial ports that appear and disappear (an adapter plugged in or pulled out) by
// listing the ports again every interval and comparing with the list before. Listing sysfs
// every half second costs little and needs no inotify or udev, and the same code serves any
// list, the tests' included.
//
// Poll may be called from a window's own timer, on its thread. Start runs the polling on a
// thread of the watcher's instead and calls `changed` there; Stop (and the destructor) ends
// and joins it. Poll and Start are not to be mixed on one watcher.
class PortWatcher {
  public:
    using Lister = std::function<std::vector<std::string>()>;

    struct Change {
        std::vector<std::string> added;    // in the list's order
        std::vector<std::string> removed;  // in the previous list's order
        std::vector<std::string> ports;    // the whole list now
        bool Empty() const { return added.empty() && removed.empty(); }
    };

    static constexpr std::chrono::milliseconds kDefaultInterval{500};

    // The first list is taken here: what exists already is not reported as added.
    explicit PortWatcher(Lister lister, std::chrono::milliseconds interval = kDefaultInterval);
    ~PortWatcher();

    // Lists the ports now; what changed since the last list.
    Change Poll();

    void Start(std::function<void(const Change&)> changed);
    void Stop();

    // A current choice kept when the list changes: `current` if it is still listed, else the
    // first port (empty when there is none).
    static std::string KeepChoice(const std::string& current,
                                  const std::vector<std::string>& ports);

  private:
    Lister lister;
    std::chrono::milliseconds interval;
    std::vector<std::string> last;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;
};

}  // namespace uhf
