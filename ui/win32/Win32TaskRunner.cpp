#include "ui/win32/Win32TaskRunner.h"

#include <utility>

namespace uhf {

Win32TaskRunner::~Win32TaskRunner() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

void Win32TaskRunner::Run(std::function<void()> work, std::function<void()> done) {
    done_ = std::move(done);
    HWND window = window_;
    worker_ = std::thread([window, work = std::move(work)] {
        work();
        PostMessageW(window, kDoneMessage, 0, 0);
    });
}

void Win32TaskRunner::Finish() {
    if (worker_.joinable()) {
        worker_.join();
    }
    std::function<void()> done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done();
    }
}

}  // namespace uhf
