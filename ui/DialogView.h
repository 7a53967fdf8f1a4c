#pragma once

#include <string>

namespace uhf {

// What a presenter sees of its window: controls addressed by their template identifiers. The
// Qt windows implement it on Linux, the Win32 dialogs on Windows; a recorder implements it in
// tests. No toolkit type crosses it, so the presenters build without one.
class DialogView {
  public:
    virtual ~DialogView() = default;

    virtual std::string Text(int id) const = 0;
    virtual void SetText(int id, const std::string& text) = 0;
    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;
    // The selected item of a list, -1 for none. For a list with an edit field, the item that
    // the field's text names.
    virtual int SelectedIndex(int id) const = 0;
    // -1 leaves the list without a selection.
    virtual void SelectIndex(int id, int index) = 0;
    virtual int ItemCount(int id) const = 0;
    virtual void AddItem(int id, const std::string& text) = 0;
    virtual void ClearItems(int id) = 0;
    virtual void SetToolTip(int id, const std::string& text) = 0;
    virtual void Enable(int id, bool on) = 0;

    // A modal message box; returns when the user has closed it.
    virtual void ShowMessage(const std::string& text) = 0;
    // While busy the window shows the wait cursor and ignores input to its controls, but
    // keeps painting.
    virtual void SetBusy(bool busy) = 0;

    // Rows of a list control: the view asks its presenter for their texts when it draws them.
    virtual void RowsAppended(int id, int first, int count) = 0;
    virtual void RowsCleared(int id) = 0;
    // True when the list shows its last row, or has too few rows to scroll.
    virtual bool IsScrolledToEnd(int id) const = 0;
    virtual void ScrollToRow(int id, int row) = 0;

    // A progress bar: its range, and its position, which shows at the nearest end of the range
    // when it lies outside.
    virtual void SetRange(int id, int lower, int upper) = 0;
    virtual void SetPosition(int id, int position) = 0;

    virtual void CloseDialog(bool accepted) = 0;
};

}  // namespace uhf
