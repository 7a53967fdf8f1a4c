#pragma once

#include <QDialog>

#include "reader/ReaderLink.h"
#include "tesmarle/TagPresenter.h"
#include "tesmarle/qt/TagListModel.h"
#include "ui/qt/DialogBuilder.h"
#include "ui/qt/QtDialogView.h"
#include "ui/qt/QtTaskRunner.h"
#include "ui/qt/QtTimerService.h"

namespace uhf {

// Tesmarle's tag identification window, a thin Qt view over TagPresenter. The list shows the
// presenter's rows through a model that formats a row only when it is drawn.
class TagDialog : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kTickMilliseconds = static_cast<int>(TagPresenter::kTickPeriod.count());

    explicit TagDialog(ReaderLink& link, QWidget* parent = nullptr);

    QWidget* Control(int id) const { return builder_.Control(id); }
    const TagListModel& Model() const { return model_; }
    bool IsTicking() const { return presenter_.IsTicking(); }
    bool IsBusy() const { return presenter_.IsBusy(); }

    void Start() { presenter_.Start(); }

    void accept() override;  // "Back"
    void reject() override;  // Escape

  private:
    DialogBuilder builder_;
    QtDialogView view_;
    QtTaskRunner runner_;
    QtTimerService timers_;
    TagPresenter presenter_;
    TagListModel model_;
};

}  // namespace uhf
