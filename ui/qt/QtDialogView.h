#pragma once

#include <QDialog>
#include <QHash>
#include <QObject>
#include <string>

#include "ui/DialogView.h"
#include "ui/qt/DialogBuilder.h"
#include "ui/qt/Notifier.h"

class QAbstractItemView;

namespace uhf {

// A presenter's view of a Qt dialog built from its template, for every window of both programs.
// While busy it swallows the user's input to the dialog (mouse, keys, wheel) rather than
// queueing it, and keeps the wait cursor up; painting goes on. A list control's rows live with
// the presenter; the window's own model shows them.
class QtDialogView : public QObject, public DialogView {
  public:
    // What a list control's model is told when the presenter's rows change.
    struct ListRows {
        std::function<void(int first, int count)> appended;
        std::function<void()> cleared;
    };

    // `notifier` may be null for a dialog that shows no messages.
    QtDialogView(QDialog& window, const DialogBuilder& builder, Notifier* notifier);
    ~QtDialogView() override;

    // How the model of list control `id` learns of new rows and of their removal.
    void AttachList(int id, ListRows rows);
    bool IsBusy() const { return busy_; }

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

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QAbstractItemView* ListView(int id) const;

    QDialog& window_;
    const DialogBuilder& builder_;
    Notifier* notifier_;
    QHash<int, ListRows> lists_;
    bool busy_ = false;
};

}  // namespace uhf
