#pragma once

#include <deque>
#include <functional>
#include <utility>

#include "ui/TaskRunner.h"

namespace uhf::test {

// Runs a presenter's reader calls on the test's thread: at once, or, while held, only when the
// test calls Finish, so that the test can act while a call is under way.
class FakeTaskRunner : public TaskRunner {
  public:
    void Run(std::function<void()> work, std::function<void()> done) override {
        ++calls;
        if (hold) {
            pending.emplace_back(std::move(work), std::move(done));
            return;
        }
        work();
        done();
    }

    // Runs the oldest held call and its continuation; false when none is held.
    bool Finish() {
        if (pending.empty()) {
            return false;
        }
        auto [work, done] = std::move(pending.front());
        pending.pop_front();
        work();
        done();
        return true;
    }

    bool hold = false;
    int calls = 0;
    std::deque<std::pair<std::function<void()>, std::function<void()>>> pending;
};

}  // namespace uhf::test
