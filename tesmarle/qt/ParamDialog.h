#pragma once

#include <QAction>
#include <QDialog>
#include <memory>

#include "reader/ReaderLink.h"
#include "tesmarle/ParamPresenter.h"
#include "ui/qt/DialogBuilder.h"
#include "ui/qt/Notifier.h"
#include "ui/qt/QtDialogView.h"
#include "ui/qt/QtTaskRunner.h"
#include "ui/qt/QtTimerService.h"

class QKeyEvent;

namespace uhf {

// Tesmarle's main window, a thin Qt view over ParamPresenter. Reader calls run on a worker
// thread while the window keeps painting under the wait cursor; every outcome goes to the
// notifier.
class ParamDialog : public QDialog {
    Q_OBJECT

  public:
    ParamDialog(std::unique_ptr<ReaderLink> link, Notifier& notifier, PortSource portSource,
                QWidget* parent = nullptr);
    ~ParamDialog() override;

    ReaderLink& Link() { return *link_; }
    QWidget* Control(int id) const { return builder_.Control(id); }
    // The window-menu entry that opens the about box.
    QAction* AboutAction() const { return aboutAction_; }
    // True while a reader call runs.
    bool IsBusy() const { return presenter_.IsBusy(); }

    void IdentifyTags();
    void ShowAboutBox();

    void accept() override;
    void reject() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void BuildView();
    void WireControls();

    std::unique_ptr<ReaderLink> link_;
    DialogBuilder builder_;
    QtDialogView view_;
    QtTaskRunner runner_;
    QtTimerService timers_;
    ParamPresenter presenter_;
    QAction* aboutAction_ = nullptr;
};

}  // namespace uhf
