#include "ui/win32/Win32Dialog.h"

#include <dbt.h>

namespace uhf {

Win32Dialog::Win32Dialog(const DialogTemplate& dialogTemplate) : template_(dialogTemplate) {}

Win32Dialog::~Win32Dialog() {
    if (!modal_ && window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrW(window_, DWLP_USER, 0);
        DestroyWindow(window_);
    }
}

INT_PTR Win32Dialog::RunModal(HWND owner) {
    modal_ = true;
    return DialogBoxIndirectParamW(GetModuleHandleW(nullptr), template_.Get(), owner, Procedure,
                                   reinterpret_cast<LPARAM>(this));
}

HWND Win32Dialog::CreateModeless(HWND owner) {
    modal_ = false;
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), template_.Get(), owner, Procedure,
                                      reinterpret_cast<LPARAM>(this));
}

void Win32Dialog::AddAboutEntry(const wchar_t* label) {
    if (HMENU menu = GetSystemMenu(window_, FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, label);
    }
}

INT_PTR CALLBACK Win32Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        self->template_.Fill(window);
        self->OnInit();
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        self->window_ = nullptr;
    }
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == kAboutCommand) {
        self->ShowAbout();
        return TRUE;
    }
    if (message == WM_DEVICECHANGE &&
        (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE)) {
        self->DevicesChanged();
    }
    return self->OnMessage(message, wParam, lParam) ? TRUE : FALSE;
}

}  // namespace uhf
