#pragma once

#include <memory>

#include "tesmarle/ParamPresenter.h"
#include "ui/win32/Win32Dialog.h"
#include "ui/win32/Win32DialogView.h"
#include "ui/win32/Win32TaskRunner.h"
#include "ui/win32/Win32TimerService.h"

namespace uhf {

// Tesmarle's parameter window on Win32, with the about entry in its system menu. Its port list
// follows the adapters: listed again off the window's thread after a device change that the
// system broadcasts, and refreshed when that finds another list.
class Win32ParamWindow : public Win32Dialog {
  public:
    Win32ParamWindow(std::unique_ptr<ReaderLink> link, PortSource ports);

    ParamPresenter& Presenter() { return presenter_; }
    Win32DialogView& View() { return view_; }
    ReaderLink& Link() { return *link_; }

  protected:
    void OnInit() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void ShowAbout() override;
    void PortsChanged() override;

  private:
    bool OnCommand(int id, int code);

    std::unique_ptr<ReaderLink> link_;
    PortSource ports_;
    Win32DialogView view_;
    Win32TaskRunner runner_;
    Win32TimerService timers_;
    ParamPresenter presenter_;
};

}  // namespace uhf
