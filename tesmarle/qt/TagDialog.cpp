#include "tesmarle/qt/TagDialog.h"

#include <QHeaderView>
#include <QPushButton>

#include "tesmarle/TesmarleTemplates.h"
#include "ui/qt/VirtualListView.h"

namespace uhf {

TagDialog::TagDialog(ReaderLink& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      builder_(TagDialogTemplate()),
      view_(*this, builder_, nullptr),
      presenter_(view_, link, runner_, timers_),
      model_([this](int row, int column) {
          return QString::fromStdString(presenter_.RowText(row, column));
      }) {
    builder_.Build(*this);

    auto* view = builder_.ControlAs<VirtualListView>(kTagList);
    view->setModel(&model_);
    view_.AttachList(kTagList, {[this](int first, int count) { model_.RowsAppended(first, count); },
                                [this] { model_.RowsCleared(); }});
    const int w = view->frameGeometry().width();
    view->horizontalHeader()->resizeSection(0, w / 9);
    view->horizontalHeader()->resizeSection(1, w - w / 9 - 22);

    const auto click = [this](int id, auto handler) {
        connect(builder_.ControlAs<QPushButton>(id), &QPushButton::clicked, this, handler);
    };
    click(kStartButton, [this] { presenter_.Start(); });
    click(kStopButton, [this] { presenter_.Stop(); });
    click(kClearButton, [this] { presenter_.Clear(); });
    click(kBackButton, [this] { accept(); });
}

void TagDialog::accept() {
    presenter_.Close(true);
}

void TagDialog::reject() {
    presenter_.Close(false);
}

}  // namespace uhf
