#include "tesmarle/win32/Win32TagWindow.h"

#include <commctrl.h>

#include "tesmarle/TesmarleTemplates.h"

namespace uhf {

Win32TagWindow::Win32TagWindow(ReaderLink& link)
    : Win32Dialog(TagDialogTemplate()),
      view_(TagDialogTemplate(), "Warning"),
      presenter_(view_, link, runner_, timers_) {}

void Win32TagWindow::OnInit() {
    view_.Attach(Window(), IsModal());
    runner_.SetWindow(Window());
    timers_.SetWindow(Window());
    view_.AttachRows(kTagList,
                     [this](int row, int column) { return presenter_.RowText(row, column); });

    HWND list = GetDlgItem(Window(), kTagList);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // The list's outer width shares out the columns, room left for the scroll bar (22 pixels
    // at 100 %).
    RECT outer{};
    GetWindowRect(list, &outer);
    const int width = outer.right - outer.left;
    view_.SetColumns(kTagList, {{"NO.", width / 9}, {"Tag Data", width - width / 9 - Scaled(22)}});
}

bool Win32TagWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case Win32TaskRunner::kDoneMessage:
            runner_.Finish();
            return true;
        case WM_TIMER:
            return timers_.Tick(wParam);
        case WM_NOTIFY:
            return view_.HandleNotify(lParam);
        case WM_SETCURSOR:
            return view_.HandleSetCursor();
        case WM_COMMAND:
            if (HIWORD(wParam) != BN_CLICKED || view_.IsBusy()) {
                return HIWORD(wParam) == BN_CLICKED;
            }
            switch (LOWORD(wParam)) {
                case kStartButton:
                    presenter_.Start();
                    return true;
                case kStopButton:
                    presenter_.Stop();
                    return true;
                case kClearButton:
                    presenter_.Clear();
                    return true;
                case kBackButton:
                    presenter_.Close(true);
                    return true;
                case IDCANCEL:
                    presenter_.Close(false);
                    return true;
                default:
                    return false;
            }
        case WM_CLOSE:
            if (!view_.IsBusy()) {
                presenter_.Close(false);
            }
            return true;
        default:
            return false;
    }
}

}  // namespace uhf
