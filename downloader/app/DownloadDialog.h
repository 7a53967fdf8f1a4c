#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <string>

#include "downloader/app/DownloadPresenter.h"
#include "downloader/app/QtTransferTimers.h"
#include "widgets/DialogView.h"
#include "widgets/qt/DialogBuilder.h"

class QAction;
class QComboBox;
class QProgressBar;
class QTreeView;

namespace uhf {

class CommControl;
class FileChooser;
class LogModel;
class Notifier;
class PortConfig;

// The download tool's window, "UHF Reader Download Tools", as a thin Qt view over its
// presenter: it builds the controls from the template, passes the user's clicks and picks on,
// and shows what the presenter sets. Its transfer timers are window timers. Everything runs on
// the user-interface thread.
class DownloadDialog : public QDialog, public DialogView {
    Q_OBJECT

  public:
    // The window keeps references to all four; they must outlive it. `notifier` shows the
    // "提示" message boxes, `files` asks for the firmware file.
    DownloadDialog(PortConfig& config, CommControl& comm, Notifier& notifier, FileChooser& files,
                   QWidget* parent = nullptr);
    ~DownloadDialog() override;

    DownloadPresenter& Presenter() { return presenter_; }
    UpgradeTransfer& Transfer() { return presenter_.Transfer(); }
    const LogModel& Log() const { return *log_; }
    QWidget* Control(int id) const { return builder_.Control(id); }
    QAction* AboutAction() const { return aboutAction_; }
    // The command id of the about entry in the system menu.
    static constexpr int kAboutCommand = 16;
    void ShowAbout();

    // DialogView
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
    void done(int result) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build();
    QComboBox* List(int id) const;

    Notifier& notifier_;
    DialogBuilder builder_;
    QIcon icon_;
    LogModel* log_ = nullptr;
    QTreeView* logView_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QtTransferTimers timers_;
    DownloadPresenter presenter_;
};

}  // namespace uhf
