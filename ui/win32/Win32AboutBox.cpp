#include "ui/win32/Win32AboutBox.h"

namespace uhf {

Win32AboutBox::Win32AboutBox(const DialogTemplate& table, int iconId, int okId)
    : Win32Dialog(table), iconId_(iconId), okId_(okId) {}

void Win32AboutBox::OnInit() {
    ShowAppIcon(iconId_);
}

bool Win32AboutBox::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    const int id = LOWORD(wParam);
    if (message == WM_COMMAND && (id == okId_ || id == IDOK || id == IDCANCEL)) {
        if (IsModal()) {
            EndDialog(Window(), IDOK);
        } else {
            DestroyWindow(Window());
        }
        return true;
    }
    return false;
}

}  // namespace uhf
