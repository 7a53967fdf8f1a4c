#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/DialogTemplate.h"
#include "ui/DialogView.h"

namespace uhf {

// A presenter's view of a Win32 dialog built from its template, keyed by control id. While busy
// the window shows the wait cursor and its procedure drops the controls' commands (IsBusy).
class Win32DialogView : public DialogView {
  public:
    using RowText = std::function<std::string(int row, int column)>;
    using MessageSink = std::function<void(const std::string& text)>;

    // Message boxes carry `messageTitle` and the icon of `messageIcon` (an MB_ICON... flag).
    Win32DialogView(const DialogTemplate& dialogTemplate, std::string messageTitle,
                    UINT messageIcon = MB_ICONINFORMATION);

    // The dialog, once created (WM_INITDIALOG).
    void Attach(HWND dialog, bool modal);
    HWND Window() const { return dialog_; }
    bool IsBusy() const { return busy_; }

    struct Column {
        std::string title;
        int width;  // pixels at the dialog's DPI
    };
    // Inserts a report list's columns, every one with its title and text centred.
    void SetColumns(int id, const std::vector<Column>& columns);

    // The texts a virtual list view asks for when it draws a row.
    void AttachRows(int id, RowText rowText) { rows_[id] = std::move(rowText); }
    // Handles the dialog's WM_NOTIFY and WM_SETCURSOR; true when handled.
    bool HandleNotify(LPARAM lParam);
    bool HandleSetCursor();

    // Where messages go instead of a MessageBoxW (tests record them; an empty sink shows them).
    static void SetMessageSink(MessageSink sink);
    // The window a message box is owned by: this dialog, or the modal box it has open.
    HWND MessageOwner() const;

    std::string Text(int id) const override;
    void SetText(int id, const std::string& text) override;
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    int SelectedIndex(int id) const override;
    void SelectIndex(int id, int index) override;
    int ItemCount(int id) const override;
    void AddItem(int id, const std::string& text) override;
    void ClearItems(int id) override;
    void SetToolTip(int id, const std::string& text) override;
    // The tip last set for a control (empty when none).
    std::string ToolTip(int id) const;
    // Disabling the control with the focus hands the focus on to the next one that takes it.
    void Enable(int id, bool on) override;
    void ShowMessage(const std::string& text) override;
    void SetBusy(bool busy) override;
    void RowsAppended(int id, int first, int count) override;
    void RowsCleared(int id) override;
    bool IsScrolledToEnd(int id) const override;
    void ScrollToRow(int id, int row) override;
    void SetRange(int id, int lower, int upper) override;
    void SetPosition(int id, int position) override;
    void CloseDialog(bool accepted) override;

  private:
    HWND Control(int id) const { return GetDlgItem(dialog_, id); }
    ControlKind KindOf(int id) const;
    bool IsList(int id) const;

    const DialogTemplate& template_;
    std::string messageTitle_;
    UINT messageIcon_;
    HWND tips_ = nullptr;
    std::map<int, std::wstring> tipTexts_;  // TTM_ADDTOOLW keeps a pointer to the text
    HWND dialog_ = nullptr;
    bool modal_ = true;
    bool busy_ = false;
    std::map<int, RowText> rows_;
};

}  // namespace uhf
