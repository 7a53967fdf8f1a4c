#include "ui/win32/Win32Dialog.h"

#include <commctrl.h>

#include <string>
#include <utility>

#include "common/SystemText.h"
#include "ui/win32/ProgramResources.h"
#include "ui/win32/Win32Dpi.h"

namespace uhf {

namespace {

// The list view and the progress bar are common controls, registered once for the process.
// The buttons, edits and lists need no flag (ICC_STANDARD_CLASSES is known to version 6 only):
// the manifest gives them version 6's themed ones.
bool CommonControlsRegistered() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                     ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
        return InitCommonControlsEx(&classes) != FALSE;
    }();
    return registered;
}

// The average character width in pixels by which the dialog manager converts dialog units for
// the font selected in `dc`.
int AverageWidth(HDC dc) {
    static const wchar_t kLetters[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    GetTextExtentPoint32W(dc, kLetters, 52, &size);
    return (size.cx / 26 + 1) / 2;
}

int TextWidth(HDC dc, const std::wstring& text) {
    RECT box{};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &box,
              DT_CALCRECT | DT_SINGLELINE | DT_LEFT);
    return box.right - box.left;
}

std::wstring NoWindowText(bool controlsRegistered, DWORD error) {
    std::wstring text = L"The window cannot be opened: ";
    wchar_t* reason = nullptr;
    if (!controlsRegistered) {
        text +=
            L"InitCommonControlsEx could not register the list view and progress bar "
            L"classes of comctl32.dll.";
    } else if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                  FORMAT_MESSAGE_IGNORE_INSERTS,
                              nullptr, error, 0, reinterpret_cast<wchar_t*>(&reason), 0,
                              nullptr) != 0) {
        text += reason;
        LocalFree(reason);
    } else {
        text += L"error " + std::to_wstring(error) + L".";
    }
    return text;
}

}  // namespace

Win32Dialog::Win32Dialog(const DialogTemplate& dialogTemplate) : template_(dialogTemplate) {}

Win32Dialog::~Win32Dialog() {
    if (!modal_ && window_ != nullptr && IsWindow(window_)) {
        SetWindowLongPtrW(window_, DWLP_USER, 0);
        DestroyWindow(window_);
    }
    // The window is gone: nothing shows the icons any more.
    for (HICON icon : {largeIcon_, smallIcon_}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

INT_PTR Win32Dialog::RunModal(HWND owner) {
    modal_ = true;
    const bool registered = CommonControlsRegistered();
    const INT_PTR result =
        registered ? DialogBoxIndirectParamW(GetModuleHandleW(nullptr), template_.Get(), owner,
                                             Procedure, reinterpret_cast<LPARAM>(this))
                   : -1;
    if (result == -1) {
        MessageBoxW(owner, NoWindowText(registered, GetLastError()).c_str(),
                    ToUtf16(template_.Table().title).c_str(), MB_OK | MB_ICONERROR);
    }
    return result;
}

HWND Win32Dialog::CreateModeless(HWND owner) {
    modal_ = false;
    if (!CommonControlsRegistered()) {
        return nullptr;
    }
    return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), template_.Get(), owner, Procedure,
                                      reinterpret_cast<LPARAM>(this));
}

void Win32Dialog::AddAboutEntry(const wchar_t* label) {
    if (HMENU menu = GetSystemMenu(window_, FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, label);
    }
}

void Win32Dialog::ShowAppIcon(int where) {
    iconPlace_ = where;
    const HICON oldLarge = largeIcon_;
    const HICON oldSmall = smallIcon_;
    LoadAppIcon();
    if (where == kWindowIcon) {
        SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon_));
        SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
    } else {
        SendDlgItemMessageW(window_, where, STM_SETICON, reinterpret_cast<WPARAM>(largeIcon_), 0);
    }
    for (HICON icon : {oldLarge, oldSmall}) {
        if (icon != nullptr) {
            DestroyIcon(icon);
        }
    }
}

int Win32Dialog::Scaled(int pixels) const {
    return Win32Dpi::Scale(pixels, dpi_);
}

void Win32Dialog::LoadAppIcon() {
    // The icon file holds a size for each common DPI; LoadImageW picks the nearest.
    const auto load = [this](int width, int height) {
        return static_cast<HICON>(LoadImageW(
            GetModuleHandleW(nullptr), MAKEINTRESOURCEW(UHF_APP_ICON), IMAGE_ICON,
            Win32Dpi::Metric(width, dpi_), Win32Dpi::Metric(height, dpi_), LR_DEFAULTCOLOR));
    };
    largeIcon_ = load(SM_CXICON, SM_CYICON);
    smallIcon_ = load(SM_CXSMICON, SM_CYSMICON);
}

void Win32Dialog::DpiChanged(int dpi) {
    const int old = dpi_;
    dpi_ = dpi;
    if (dpi == old || old <= 0) {
        return;
    }
    // The dialog manager lays the controls out again (per-monitor v2); the columns it leaves.
    for (const ControlTemplate& control : template_.Table().controls) {
        if (control.kind != ControlKind::ListView && control.kind != ControlKind::VirtualListView) {
            continue;
        }
        HWND list = GetDlgItem(window_, control.id);
        const auto header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
        const auto columns = static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
        for (int column = 0; column < columns; ++column) {
            const auto width = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0));
            SendMessageW(list, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                         MulDiv(width, dpi, old));
        }
    }
    if (iconPlace_ >= 0) {
        ShowAppIcon(iconPlace_);
    }
    PostMessageW(window_, kLaidOutMessage, 0, 0);
}

void Win32Dialog::FitTexts() {
    if (dpi_ == Win32Dpi::kStandard) {
        return;
    }
    // Dialog units follow the font's average width in whole pixels, which at some scales grows
    // slower than the text ("Time distance" at 150 %). The layout at 100 % is the one meant: a
    // label narrower than its text there (download baudrate) keeps its width, and shows the
    // words that fit.
    const auto font = reinterpret_cast<HFONT>(SendMessageW(window_, WM_GETFONT, 0, 0));
    LOGFONTW standard{};
    if (font == nullptr || GetObjectW(font, sizeof standard, &standard) == 0) {
        return;
    }
    standard.lfHeight = MulDiv(standard.lfHeight, Win32Dpi::kStandard, dpi_);
    HFONT standardFont = CreateFontIndirectW(&standard);
    HDC dc = GetDC(window_);
    const HGDIOBJ before = SelectObject(dc, standardFont);
    const int standardUnit = AverageWidth(dc);
    // The controls are the dialog's children in the order of the table.
    HWND child = GetWindow(window_, GW_CHILD);
    for (const ControlTemplate& control : template_.Table().controls) {
        if (child == nullptr) {
            break;
        }
        HWND window = child;
        child = GetWindow(child, GW_HWNDNEXT);
        const bool button =
            control.kind == ControlKind::CheckBox || control.kind == ControlKind::RadioButton;
        if ((control.kind != ControlKind::Label && !button) || control.text.empty()) {
            continue;
        }
        const std::wstring text = ToUtf16(control.text);
        SelectObject(dc, font);
        const int textWidth = TextWidth(dc, text);
        int needed = textWidth;
        // A check box or radio button needs room for its box beside the text, as it says.
        SIZE ideal{};
        if (button) {
            if (SendMessageW(window, BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)) ==
                FALSE) {
                continue;
            }
            needed = ideal.cx;
        }
        SelectObject(dc, standardFont);
        const int neededAtStandard =
            TextWidth(dc, text) + MulDiv(needed - textWidth, Win32Dpi::kStandard, dpi_);
        RECT box{};
        GetClientRect(window, &box);
        if (neededAtStandard <= MulDiv(control.width, standardUnit, 4) && needed > box.right) {
            SetWindowPos(window, nullptr, 0, 0, needed, box.bottom,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    SelectObject(dc, before);
    ReleaseDC(window_, dc);
    DeleteObject(standardFont);
}

PortSource Win32Dialog::FollowPorts(PortSource source) {
    if (!source) {
        return {};
    }
    HWND window = window_;
    portList_ = std::make_unique<AsyncPortList>(
        std::move(source), [window] { PostMessageW(window, kPortsMessage, 0, 0); });
    return [this] { return portList_->List(); };
}

INT_PTR CALLBACK Win32Dialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* self = reinterpret_cast<Win32Dialog*>(lParam);
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        self->window_ = window;
        self->dpi_ = Win32Dpi::Of(window);
        self->template_.Fill(window);
        self->FitTexts();
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
    // Any device change: without RegisterDeviceNotification, DBT_DEVNODES_CHANGED is what a
    // top-level window reliably gets when an adapter comes or goes.
    if (message == WM_DEVICECHANGE && self->portList_) {
        self->portList_->Rescan();
    }
    if (message == kPortsMessage) {
        self->PortsChanged();
        return TRUE;
    }
    if (message == WM_DPICHANGED) {
        // Not handled here: the dialog manager's own handling resizes the window and its
        // controls.
        self->DpiChanged(LOWORD(wParam));
    }
    if (message == kLaidOutMessage) {
        self->FitTexts();
        return TRUE;
    }
    return self->OnMessage(message, wParam, lParam) ? TRUE : FALSE;
}

}  // namespace uhf
