#pragma once

#include "ui/TaskRunner.h"

namespace uhf {

// Runs each reader call on a worker thread while the window's thread goes on serving its event
// loop (painting, timers); the worker hands the end back with a queued call, and the
// continuation then runs on the window's thread. Run returns once the continuation has run.
class QtTaskRunner : public TaskRunner {
  public:
    void Run(std::function<void()> work, std::function<void()> done) override;
};

}  // namespace uhf
