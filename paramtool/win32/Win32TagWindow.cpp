#include "paramtool/win32/Win32TagWindow.h"

#include <commctrl.h>

#include "paramtool/TesmarleTemplates.h"

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
    RECT area{};
    GetClientRect(list, &area);
    const int width = area.right - area.left;
    // A narrow number column, the identifier in the rest (room left for the scroll bar).
    const int numberWidth = width / 9;
    const int widths[] = {numberWidth, width - numberWidth - GetSystemMetrics(SM_CXVSCROLL)};
    for (int column = 0; column < 2; ++column) {
        LVCOLUMNW info{};
        info.mask = LVCF_WIDTH | LVCF_SUBITEM;
        info.cx = widths[column];
        info.iSubItem = column;
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column),
                     reinterpret_cast<LPARAM>(&info));
    }
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
