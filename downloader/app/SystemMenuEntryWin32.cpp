#include "downloader/app/SystemMenuEntry.h"

#include <QByteArray>
#include <QWidget>

#include <windows.h>

namespace uhf {

bool SystemMenuEntry::Append(QWidget& window, const QString& text, int commandId) {
    HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE);
    if (menu == nullptr || text.isEmpty()) {
        return false;
    }
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    return AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(commandId),
                       reinterpret_cast<LPCWSTR>(text.utf16())) != FALSE;
}

bool SystemMenuEntry::IsChosen(const QByteArray& eventType, void* message, int commandId) {
    if (eventType != "windows_generic_MSG" || message == nullptr) {
        return false;
    }
    const MSG* msg = static_cast<const MSG*>(message);
    // The low four bits of a system command are the system's own.
    return msg->message == WM_SYSCOMMAND &&
           (msg->wParam & 0xFFF0) == static_cast<WPARAM>(commandId);
}

}  // namespace uhf
