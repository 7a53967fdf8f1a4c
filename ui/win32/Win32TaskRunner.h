#pragma once

#include <windows.h>

#include <functional>
#include <thread>

#include "ui/TaskRunner.h"

namespace uhf {

// Runs a reader call on a worker thread; the worker posts kDoneMessage to the window, whose
// procedure calls Finish on the window's thread to join the worker and run the continuation.
class Win32TaskRunner : public TaskRunner {
  public:
    static constexpr UINT kDoneMessage = WM_APP + 1;

    Win32TaskRunner() = default;
    ~Win32TaskRunner() override;
    Win32TaskRunner(const Win32TaskRunner&) = delete;
    Win32TaskRunner& operator=(const Win32TaskRunner&) = delete;

    void SetWindow(HWND window) { window_ = window; }
    void Run(std::function<void()> work, std::function<void()> done) override;
    void Finish();

  private:
    HWND window_ = nullptr;
    std::thread worker_;
    std::function<void()> done_;
};

}  // namespace uhf
