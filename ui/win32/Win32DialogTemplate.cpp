#include "ui/win32/Win32DialogTemplate.h"

#include <commctrl.h>

#include <algorithm>

#include "common/SystemText.h"

namespace uhf {

namespace {

// Atoms of the predefined classes in a template.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kComboBoxAtom = 0x0085;

constexpr BYTE kChineseCharset = 134;  // GB2312_CHARSET

struct ClassAndStyle {
    WORD atom;            // 0: the class is named
    const wchar_t* name;  // when atom is 0
    DWORD style;
};

ClassAndStyle ClassOf(const ControlTemplate& control) {
    using K = ControlKind;
    switch (control.kind) {
        case K::GroupBox:
            return {kButtonAtom, nullptr, BS_GROUPBOX};
        case K::Label:
            return {kStaticAtom, nullptr, SS_LEFT};
        case K::CenteredLabel:
            return {kStaticAtom, nullptr, SS_CENTER};
        case K::PushButton:
            return {kButtonAtom, nullptr, BS_PUSHBUTTON | WS_TABSTOP};
        case K::DefaultPushButton:
            return {kButtonAtom, nullptr, BS_DEFPUSHBUTTON | WS_TABSTOP};
        case K::DropDownList:
            return {kComboBoxAtom, nullptr, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
        case K::DropDownCombo:
            return {kComboBoxAtom, nullptr,
                    CBS_DROPDOWN | CBS_SORT | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP};
        case K::Edit:
            return {kEditAtom, nullptr, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP};
        case K::DigitsEdit:
            return {kEditAtom, nullptr, ES_AUTOHSCROLL | ES_NUMBER | WS_BORDER | WS_TABSTOP};
        case K::ReadOnlyEdit:
            return {kEditAtom, nullptr, ES_AUTOHSCROLL | ES_READONLY | WS_BORDER | WS_TABSTOP};
        case K::RadioButton:
            return {kButtonAtom, nullptr, BS_AUTORADIOBUTTON | WS_TABSTOP};
        case K::CheckBox:
            return {kButtonAtom, nullptr, BS_AUTOCHECKBOX | WS_TABSTOP};
        case K::ListView:
            return {0, WC_LISTVIEWW,
                    LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER | WS_TABSTOP};
        case K::VirtualListView:
            return {0, WC_LISTVIEWW,
                    LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDATA | WS_BORDER |
                        WS_TABSTOP};
        case K::ProgressBar:
            return {0, PROGRESS_CLASSW, WS_BORDER};
        case K::Icon:
            return {kStaticAtom, nullptr, SS_ICON};
    }
    return {kStaticAtom, nullptr, SS_LEFT};
}

bool IsCombo(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::DropDownCombo;
}

}  // namespace

Win32DialogTemplate::Win32DialogTemplate(const DialogTemplate& dialogTemplate)
    : template_(dialogTemplate) {
    DWORD style =
        DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER;
    if (template_.resizable) {
        style = (style & ~static_cast<DWORD>(DS_MODALFRAME)) | WS_THICKFRAME;
    }
    if (!template_.systemMenu) {
        style &= ~static_cast<DWORD>(WS_SYSMENU);
    }
    Word(1);       // dlgVer
    Word(0xFFFF);  // signature: the extended format
    Dword(0);      // helpID
    Dword(0);      // exStyle
    Dword(style);
    Word(static_cast<unsigned>(template_.controls.size()));
    Word(0);  // x and y: DS_CENTER places it
    Word(0);
    Word(static_cast<unsigned>(template_.width));
    Word(static_cast<unsigned>(template_.height));
    Word(0);  // no menu
    Word(0);  // the dialog class
    Text(template_.title);
    Word(static_cast<unsigned>(template_.pointSize));
    Word(FW_NORMAL);
    const bool chinese = std::any_of(template_.fontFamily.begin(), template_.fontFamily.end(),
                                     [](char c) { return (c & 0x80) != 0; });
    Word(chinese ? (kChineseCharset << 8) : (DEFAULT_CHARSET << 8));  // italic 0, charset
    Text(template_.fontFamily);
    for (const ControlTemplate& control : template_.controls) {
        AddControl(control);
    }
}

void Win32DialogTemplate::Dword(DWORD value) {
    Word(value & 0xFFFF);
    Word(value >> 16);
}

void Win32DialogTemplate::Text(const std::string& utf8) {
    for (const wchar_t c : ToUtf16(utf8)) {
        Word(static_cast<unsigned>(c));
    }
    Word(0);
}

void Win32DialogTemplate::Align() {
    if (words_.size() % 2 != 0) {
        Word(0);
    }
}

void Win32DialogTemplate::AddControl(const ControlTemplate& control) {
    const ClassAndStyle cls = ClassOf(control);
    DWORD style = WS_CHILD | WS_VISIBLE | cls.style;
    // A radio button opens a group only where the table says so; every other control closes the
    // group before it, so that the arrow keys stay within a pair.
    if (control.kind != ControlKind::RadioButton || control.groupStart) {
        style |= WS_GROUP;
    }
    DWORD exStyle = 0;
    if (control.kind == ControlKind::ListView || control.kind == ControlKind::VirtualListView) {
        exStyle = WS_EX_CLIENTEDGE;
    }
    Align();
    Dword(0);  // helpID
    Dword(exStyle);
    Dword(style);
    Word(static_cast<unsigned>(control.x));
    Word(static_cast<unsigned>(control.y));
    Word(static_cast<unsigned>(control.width));
    Word(static_cast<unsigned>(control.height));
    Dword(static_cast<DWORD>(control.id));
    if (cls.atom != 0) {
        Word(0xFFFF);
        Word(cls.atom);
    } else {
        for (const wchar_t* c = cls.name; *c != L'\0'; ++c) {
            Word(static_cast<unsigned>(*c));
        }
        Word(0);
    }
    Text(IsCombo(control.kind) ? std::string() : control.text);
    Word(0);  // no creation data
}

void Win32DialogTemplate::Fill(HWND dialog) const {
    for (const ControlTemplate& control : template_.controls) {
        if (control.id < 0) {
            continue;
        }
        HWND window = GetDlgItem(dialog, control.id);
        if (IsCombo(control.kind)) {
            for (const std::string& item : control.items) {
                const std::wstring text = ToUtf16(item);
                SendMessageW(window, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
            }
        }
    }
}

}  // namespace uhf
