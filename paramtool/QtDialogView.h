#pragma once

#include <QDialog>
#include <QHash>
#include <QObject>
#include <string>

#include "widgets/DialogView.h"
#include "widgets/qt/DialogBuilder.h"
#include "widgets/qt/Notifier.h"

class QAbstractItemView;

namespace uhf {

class TagListModel;

// A presenter's view of a Qt dialog built from its template. While busy it swallows the
// user's input to the dialog (mouse, keys, wheel) rather than queueing it, and keeps the wait
// cursor up; painting goes on.
class QtDialogView : public QObject, public DialogView {
  public:
    // `notifier` may be null for a dialog that shows no messages.
    QtDialogView(QDialog& window, const DialogBuilder& builder, Notifier* notifier);
    ~QtDialogView() override;

    // The model whose rows a list control shows.
    void AttachList(int id, TagListModel* model);
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
    QHash<int, TagListModel*> lists_;
    bool busy_ = false;
};

}  // namespace uhf
