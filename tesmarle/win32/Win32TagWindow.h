#pragma once

#include "tesmarle/TagPresenter.h"
#include "ui/win32/Win32Dialog.h"
#include "ui/win32/Win32DialogView.h"
#include "ui/win32/Win32TaskRunner.h"
#include "ui/win32/Win32TimerService.h"

namespace uhf {

// Tesmarle's tag window: a numbered list of tag identifiers, "Start", "Stop", "Clear", "Back".
class Win32TagWindow : public Win32Dialog {
  public:
    explicit Win32TagWindow(ReaderLink& link);

    TagPresenter& Presenter() { return presenter_; }
    Win32DialogView& View() { return view_; }

  protected:
    void OnInit() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    Win32DialogView view_;
    Win32TaskRunner runner_;
    Win32TimerService timers_;
    TagPresenter presenter_;
};

}  // namespace uhf
