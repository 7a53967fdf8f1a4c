#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "common/PortInfo.h"

namespace uhf {

// The port list, kept by a thread of its own so that a window's thread never waits for SetupAPI
// and the registry: List gives the last list found, at once (the first is taken on making, for
// the window's first fill). Rescan asks for a fresh one once no request has come for `settle`
// (a plugged adapter brings a burst of device-change notices). A scan that finds another list
// calls `found` on the list's thread, except while the destructor waits for it.
class AsyncPortList {
  public:
    using Source = std::function<std::vector<PortInfo>()>;

    static constexpr std::chrono::milliseconds kSettle{300};

    AsyncPortList(Source source, std::function<void()> found,
                  std::chrono::milliseconds settle = kSettle);
    ~AsyncPortList();
    AsyncPortList(const AsyncPortList&) = delete;
    AsyncPortList& operator=(const AsyncPortList&) = delete;

    std::vector<PortInfo> List() const;
    void Rescan();

  private:
    void Run();

    using Clock = std::chrono::steady_clock;

    Source source_;
    std::function<void()> found_;
    std::chrono::milliseconds settle_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<PortInfo> ports_;
    std::optional<Clock::time_point> due_;  // when a Rescan asks for a scan
    bool stopping_ = false;
    std::thread thread_;  // last: it starts once the rest is there
};

}  // namespace uhf
