#include "tesmarle/win32/Win32ParamWindow.h"

#include <utility>

#include "tesmarle/TesmarleTemplates.h"
#include "tesmarle/win32/Win32TagWindow.h"
#include "ui/win32/Win32AboutBox.h"

namespace uhf {

Win32ParamWindow::Win32ParamWindow(std::unique_ptr<ReaderLink> link, PortSource ports)
    : Win32Dialog(ParamDialogTemplate()),
      link_(std::move(link)),
      ports_(std::move(ports)),
      view_(ParamDialogTemplate(), "Warning"),
      presenter_(view_, *link_, runner_) {}

void Win32ParamWindow::OnInit() {
    view_.Attach(Window(), IsModal());
    runner_.SetWindow(Window());
    timers_.SetWindow(Window());
    SendDlgItemMessageW(Window(), kPowerEdit, EM_SETLIMITTEXT, 3, 0);
    AddAboutEntry(L"Tesmarle(&A)...");
    ShowAppIcon(kWindowIcon);
    presenter_.Initialise(FollowPorts(ports_));
    presenter_.WatchPorts(timers_);
}

void Win32ParamWindow::ShowAbout() {
    Win32AboutBox about(AboutBoxTemplate(), kAboutIcon, kAboutOkButton);
    about.RunModal(Window());
}

void Win32ParamWindow::PortsChanged() {
    presenter_.PollPorts();
}

bool Win32ParamWindow::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case Win32TaskRunner::kDoneMessage:
            runner_.Finish();
            return true;
        case WM_SETCURSOR:
            return view_.HandleSetCursor();
        case WM_TIMER:
            return timers_.Tick(wParam);
        case WM_COMMAND:
            return OnCommand(LOWORD(wParam), HIWORD(wParam));
        case WM_CLOSE:
            // The close box and Alt+F4, also during a reader call: the presenter closes the
            // window once the call has ended.
            presenter_.Close();
            return true;
        default:
            return false;
    }
}

bool Win32ParamWindow::OnCommand(int id, int code) {
    // Input while a reader call runs is dropped, not queued.
    if (view_.IsBusy()) {
        return true;
    }
    if (id == kPortList && (code == CBN_SELCHANGE || code == CBN_EDITCHANGE)) {
        presenter_.PortChosen();
        return true;
    }
    if (id == kConnectPortList && code == CBN_SELCHANGE) {
        presenter_.ConnectPortChosen(view_.SelectedIndex(kConnectPortList));
        return true;
    }
    if (code != BN_CLICKED) {
        return false;
    }
    switch (id) {
        case kConnectButton:
            presenter_.Connect();
            return true;
        case kDisconnectButton:
            presenter_.Disconnect();
            return true;
        case kSetButton:
            presenter_.Set();
            return true;
        case kRefreshButton:
            presenter_.Resume();
            return true;
        case kReadButton:
            presenter_.Read();
            return true;
        case kIdentifyButton:
            if (presenter_.CanIdentifyTags()) {
                Win32TagWindow tags(*link_);
                tags.RunModal(Window());
            }
            return true;
        case IDOK:
            // Enter outside a push button leaves the window open, as in the Qt window: closing
            // would throw away the values just typed.
            return true;
        case IDCANCEL:
            presenter_.Close();
            return true;
        default:
            return false;
    }
}

}  // namespace uhf
