#pragma once

#include <functional>

namespace uhf {

// Runs a reader call away from the window's thread, then its continuation on the window's
// thread. One call at a time: the presenters never start a second before the first is done.
class TaskRunner {
  public:
    virtual ~TaskRunner() = default;
    virtual void Run(std::function<void()> work, std::function<void()> done) = 0;
};

}  // namespace uhf
