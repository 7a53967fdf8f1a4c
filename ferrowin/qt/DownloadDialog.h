#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include "ferrowin/DownloadPresenter.h"
#include "ferrowin/qt/QtTransferTimers.h"
#include "ui/qt/DialogBuilder.h"
#include "ui/qt/QtDialogView.h"
#include "ui/qt/QtTimerService.h"

class QComboBox;
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
class DownloadDialog : public QDialog {
    Q_OBJECT

  public:
    // The window keeps references to all four; they must outlive it. `notifier` shows the
    // "提示" message boxes, `files` asks for the firmware file.
    // The port list comes from `ports`, or without one from `config`; it follows the adapters
    // plugged in and pulled out while the window is open.
    DownloadDialog(PortConfig& config, CommControl& comm, Notifier& notifier, FileChooser& files,
                   PortSource ports = {}, QWidget* parent = nullptr);
    ~DownloadDialog() override;

    DownloadPresenter& Presenter() { return presenter_; }
    const LogModel& Log() const { return *log_; }
    QWidget* Control(int id) const { return builder_.Control(id); }

    // What the presenter sees of the window.
    DialogView& View() { return view_; }

  protected:
    void done(int result) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Build();
    void ShowAbout();
    QComboBox* List(int id) const;
    // The presenter keeps the log's lines; the model takes each one as it comes.
    void AppendLogRows(int first, int count);

    DialogBuilder builder_;
    QtDialogView view_;
    QIcon icon_;
    LogModel* log_ = nullptr;
    QtTransferTimers timers_;
    DownloadPresenter presenter_;
    // After the presenter, so that its ticks end first.
    QtTimerService portTimers_;
};

}  // namespace uhf
