#include "ui/win32/Win32DialogView.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

#include "common/SystemText.h"
#include "ui/win32/Win32Dpi.h"

namespace uhf {

namespace {

Win32DialogView::MessageSink& Sink() {
    static Win32DialogView::MessageSink sink;
    return sink;
}

}  // namespace

Win32DialogView::Win32DialogView(const DialogTemplate& dialogTemplate, std::string messageTitle,
                                 UINT messageIcon)
    : template_(dialogTemplate),
      messageTitle_(std::move(messageTitle)),
      messageIcon_(messageIcon) {}

void Win32DialogView::Attach(HWND dialog, bool modal) {
    dialog_ = dialog;
    modal_ = modal;
}

void Win32DialogView::SetColumns(int id, const std::vector<Column>& columns) {
    HWND list = Control(id);
    // The first column of a list view is always left aligned: a stand-in takes its place while
    // the others are inserted, and goes, leaving them centred.
    LVCOLUMNW standIn{};
    standIn.mask = LVCF_WIDTH;
    SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&standIn));
    for (std::size_t i = 0; i < columns.size(); ++i) {
        std::wstring title = ToUtf16(columns[i].title);
        LVCOLUMNW info{};
        info.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        info.fmt = LVCFMT_CENTER;
        info.cx = columns[i].width;
        info.pszText = title.data();
        SendMessageW(list, LVM_INSERTCOLUMNW, i + 1, reinterpret_cast<LPARAM>(&info));
    }
    SendMessageW(list, LVM_DELETECOLUMN, 0, 0);
}

void Win32DialogView::SetMessageSink(MessageSink sink) {
    Sink() = std::move(sink);
}

ControlKind Win32DialogView::KindOf(int id) const {
    for (const ControlTemplate& control : template_.controls) {
        if (control.id == id) {
            return control.kind;
        }
    }
    return ControlKind::Label;
}

bool Win32DialogView::IsList(int id) const {
    const ControlKind kind = KindOf(id);
    return kind == ControlKind::ListView || kind == ControlKind::VirtualListView;
}

std::string Win32DialogView::Text(int id) const {
    HWND control = Control(id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(got, 0)));
    return ToUtf8(text);
}

void Win32DialogView::SetText(int id, const std::string& text) {
    SetWindowTextW(Control(id), ToUtf16(text).c_str());
}

bool Win32DialogView::IsChecked(int id) const {
    return IsDlgButtonChecked(dialog_, id) == BST_CHECKED;
}

void Win32DialogView::SetChecked(int id, bool checked) {
    CheckDlgButton(dialog_, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

int Win32DialogView::SelectedIndex(int id) const {
    HWND control = Control(id);
    if (IsList(id)) {
        return static_cast<int>(
            SendMessageW(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    if (KindOf(id) == ControlKind::DropDownCombo) {
        // The edit field may hold typed text: the item it names, if any.
        const std::wstring text = ToUtf16(Text(id));
        const LRESULT found = SendMessageW(control, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(text.c_str()));
        return found == CB_ERR ? -1 : static_cast<int>(found);
    }
    const LRESULT selected = SendMessageW(control, CB_GETCURSEL, 0, 0);
    return selected == CB_ERR ? -1 : static_cast<int>(selected);
}

void Win32DialogView::SelectIndex(int id, int index) {
    if (!IsList(id)) {
        SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return;
    }
    // One marked row: every other row loses its selected and drop-highlighted marks.
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_DROPHILITED | LVIS_FOCUSED;
    SendMessageW(Control(id), LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&clear));
    if (index >= 0) {
        LVITEMW mark{};
        mark.stateMask = clear.stateMask;
        mark.state = clear.stateMask;
        SendMessageW(Control(id), LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&mark));
    }
}

int Win32DialogView::ItemCount(int id) const {
    if (IsList(id)) {
        return static_cast<int>(SendMessageW(Control(id), LVM_GETITEMCOUNT, 0, 0));
    }
    return static_cast<int>(SendMessageW(Control(id), CB_GETCOUNT, 0, 0));
}

void Win32DialogView::AddItem(int id, const std::string& text) {
    const std::wstring item = ToUtf16(text);
    SendMessageW(Control(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void Win32DialogView::ClearItems(int id) {
    SendMessageW(Control(id), CB_RESETCONTENT, 0, 0);
}

void Win32DialogView::SetToolTip(int id, const std::string& text) {
    if (tips_ == nullptr) {
        tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        // Lines of a tip break at "\n" only within this width (600 pixels at 100 %).
        SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, Win32Dpi::Scale(600, Win32Dpi::Of(dialog_)));
    }
    const bool known = tipTexts_.count(id) != 0;
    std::wstring& stored = tipTexts_[id];
    stored = ToUtf16(text);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = dialog_;
    tool.uId = reinterpret_cast<UINT_PTR>(Control(id));
    tool.lpszText = stored.data();
    SendMessageW(tips_, known ? TTM_UPDATETIPTEXTW : TTM_ADDTOOLW, 0,
                 reinterpret_cast<LPARAM>(&tool));
}

std::string Win32DialogView::ToolTip(int id) const {
    const auto found = tipTexts_.find(id);
    return found == tipTexts_.end() ? std::string() : ToUtf8(found->second);
}

void Win32DialogView::Enable(int id, bool on) {
    HWND control = Control(id);
    // A control that is disabled with the focus leaves it with no window, and the keyboard dead
    // until a click: the focus moves on first, as Tab would move it (and as Qt moves it).
    HWND focus = GetFocus();
    if (!on && focus != nullptr && (focus == control || IsChild(control, focus) != FALSE)) {
        SendMessageW(dialog_, WM_NEXTDLGCTL, 0, FALSE);
    }
    EnableWindow(control, on ? TRUE : FALSE);
}

void Win32DialogView::ShowMessage(const std::string& text) {
    if (Sink()) {
        Sink()(text);
        return;
    }
    MessageBoxW(MessageOwner(), ToUtf16(text).c_str(), ToUtf16(messageTitle_).c_str(),
                MB_OK | messageIcon_);
}

HWND Win32DialogView::MessageOwner() const {
    // A message of the window's initialisation: the window first, then the box over it.
    if (IsWindowVisible(dialog_) == FALSE) {
        ShowWindow(dialog_, SW_SHOW);
    }
    // A modal box that this window opened (the about box, the tag window) keeps it disabled: the
    // message goes over that box, so that closing the message gives the input back to it and not
    // to the window beneath.
    HWND popup = GetLastActivePopup(dialog_);
    const bool overPopup =
        IsWindowEnabled(dialog_) == FALSE && popup != nullptr && IsWindowEnabled(popup) != FALSE;
    return overPopup ? popup : dialog_;
}

void Win32DialogView::SetBusy(bool busy) {
    busy_ = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

bool Win32DialogView::HandleSetCursor() {
    if (!busy_) {
        return false;
    }
    SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    SetWindowLongPtrW(dialog_, DWLP_MSGRESULT, TRUE);
    return true;
}

bool Win32DialogView::HandleNotify(LPARAM lParam) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code != LVN_GETDISPINFOW) {
        return false;
    }
    const auto found = rows_.find(static_cast<int>(header->idFrom));
    if (found == rows_.end()) {
        return false;
    }
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
    if ((info->item.mask & LVIF_TEXT) != 0 && info->item.cchTextMax > 0) {
        const std::wstring text = ToUtf16(found->second(info->item.iItem, info->item.iSubItem));
        const std::size_t room = static_cast<std::size_t>(info->item.cchTextMax) - 1;
        const std::size_t length = std::min(text.size(), room);
        std::copy_n(text.begin(), length, info->item.pszText);
        info->item.pszText[length] = L'\0';
    }
    return true;
}

void Win32DialogView::RowsAppended(int id, int first, int count) {
    if (KindOf(id) == ControlKind::VirtualListView) {
        SendMessageW(Control(id), LVM_SETITEMCOUNT, static_cast<WPARAM>(first + count),
                     LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
        return;
    }
    // A list that stays short keeps its texts itself.
    const auto found = rows_.find(id);
    if (found == rows_.end()) {
        return;
    }
    HWND list = Control(id);
    const int columns = std::max(
        1, static_cast<int>(SendMessageW(ListView_GetHeader(list), HDM_GETITEMCOUNT, 0, 0)));
    for (int row = first; row < first + count; ++row) {
        for (int column = 0; column < columns; ++column) {
            std::wstring text = ToUtf16(found->second(row, column));
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = column;
            item.pszText = text.data();
            SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW,
                         static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        }
    }
}

void Win32DialogView::RowsCleared(int id) {
    if (KindOf(id) == ControlKind::VirtualListView) {
        SendMessageW(Control(id), LVM_SETITEMCOUNT, 0, 0);
    } else {
        SendMessageW(Control(id), LVM_DELETEALLITEMS, 0, 0);
    }
}

bool Win32DialogView::IsScrolledToEnd(int id) const {
    HWND list = Control(id);
    const auto top = static_cast<int>(SendMessageW(list, LVM_GETTOPINDEX, 0, 0));
    const auto page = static_cast<int>(SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0));
    const auto count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    return top + page >= count;
}

void Win32DialogView::ScrollToRow(int id, int row) {
    SendMessageW(Control(id), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

void Win32DialogView::SetRange(int id, int lower, int upper) {
    SendMessageW(Control(id), PBM_SETRANGE32, static_cast<WPARAM>(lower),
                 static_cast<LPARAM>(upper));
}

void Win32DialogView::SetPosition(int id, int position) {
    // The bar itself shows a position outside its range at the nearest end.
    SendMessageW(Control(id), PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32DialogView::CloseDialog(bool accepted) {
    if (modal_) {
        EndDialog(dialog_, accepted ? IDOK : IDCANCEL);
    } else {
        DestroyWindow(dialog_);
    }
}

}  // namespace uhf
