#include "ui/qt/QtDialogView.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <algorithm>
#include <utility>

namespace uhf {

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            return false;
    }
}

}  // namespace

QtDialogView::QtDialogView(QDialog& window, const DialogBuilder& builder, Notifier* notifier)
    : window_(window), builder_(builder), notifier_(notifier) {}

QtDialogView::~QtDialogView() {
    SetBusy(false);
}

void QtDialogView::AttachList(int id, ListRows rows) {
    lists_.insert(id, std::move(rows));
}

std::string QtDialogView::Text(int id) const {
    QWidget* control = builder_.Control(id);
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        return combo->currentText().toStdString();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        return edit->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(control)) {
        return label->text().toStdString();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        return button->text().toStdString();
    }
    return {};
}

void QtDialogView::SetText(int id, const std::string& text) {
    QWidget* control = builder_.Control(id);
    const QString value = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value);
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(value);
    } else if (auto* combo = qobject_cast<QComboBox*>(control); combo && combo->isEditable()) {
        combo->setEditText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        button->setText(value);
    }
}

bool QtDialogView::IsChecked(int id) const {
    auto* button = builder_.ControlAs<QAbstractButton>(id);
    return button != nullptr && button->isChecked();
}

void QtDialogView::SetChecked(int id, bool checked) {
    if (auto* button = builder_.ControlAs<QAbstractButton>(id)) {
        button->setChecked(checked);
    }
}

int QtDialogView::SelectedIndex(int id) const {
    auto* combo = builder_.ControlAs<QComboBox>(id);
    if (combo == nullptr) {
        // A list control: its current row.
        const QAbstractItemView* view = ListView(id);
        return view != nullptr ? view->currentIndex().row() : -1;
    }
    if (combo->isEditable()) {
        // The edit field may hold typed text; it counts only when it names an item.
        return combo->findText(combo->currentText(), Qt::MatchExactly);
    }
    return combo->currentIndex();
}

void QtDialogView::SelectIndex(int id, int index) {
    if (auto* combo = builder_.ControlAs<QComboBox>(id)) {
        combo->setCurrentIndex(index);
        return;
    }
    // A list control: the row becomes the current one and the only one selected.
    QAbstractItemView* view = ListView(id);
    if (view != nullptr && view->model() != nullptr && view->selectionModel() != nullptr) {
        view->selectionModel()->setCurrentIndex(
            view->model()->index(index, 0),
            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
}

int QtDialogView::ItemCount(int id) const {
    if (auto* combo = builder_.ControlAs<QComboBox>(id)) {
        return combo->count();
    }
    const QAbstractItemView* view = ListView(id);
    return view != nullptr && view->model() != nullptr ? view->model()->rowCount() : 0;
}

void QtDialogView::AddItem(int id, const std::string& text) {
    if (auto* combo = builder_.ControlAs<QComboBox>(id)) {
        combo->addItem(QString::fromStdString(text));
    }
}

void QtDialogView::ClearItems(int id) {
    if (auto* combo = builder_.ControlAs<QComboBox>(id)) {
        combo->clear();
    }
}

void QtDialogView::SetToolTip(int id, const std::string& text) {
    if (QWidget* control = builder_.Control(id)) {
        control->setToolTip(QString::fromStdString(text));
    }
}

void QtDialogView::Enable(int id, bool on) {
    if (QWidget* control = builder_.Control(id)) {
        control->setEnabled(on);
    }
}

void QtDialogView::ShowMessage(const std::string& text) {
    if (notifier_ != nullptr) {
        notifier_->Notify(QString::fromStdString(text));
    }
}

void QtDialogView::SetBusy(bool busy) {
    if (busy == busy_) {
        return;
    }
    busy_ = busy;
    if (busy) {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
        QApplication::restoreOverrideCursor();
    }
}

bool QtDialogView::eventFilter(QObject* watched, QEvent* event) {
    if (busy_ && IsUserInput(event->type()) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == &window_ || window_.isAncestorOf(widget)) {
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

QAbstractItemView* QtDialogView::ListView(int id) const {
    return builder_.ControlAs<QAbstractItemView>(id);
}

void QtDialogView::RowsAppended(int id, int first, int count) {
    const auto found = lists_.constFind(id);
    if (found != lists_.constEnd() && found->appended) {
        found->appended(first, count);
    }
}

void QtDialogView::RowsCleared(int id) {
    const auto found = lists_.constFind(id);
    if (found != lists_.constEnd() && found->cleared) {
        found->cleared();
    }
}

bool QtDialogView::IsScrolledToEnd(int id) const {
    QAbstractItemView* view = ListView(id);
    if (view == nullptr) {
        return true;
    }
    const QScrollBar* bar = view->verticalScrollBar();
    return bar->value() >= bar->maximum();
}

void QtDialogView::ScrollToRow(int id, int row) {
    QAbstractItemView* view = ListView(id);
    if (view == nullptr || view->model() == nullptr) {
        return;
    }
    if (row == view->model()->rowCount() - 1) {
        // Lays out the rows just added first, so the scroll range already counts them.
        view->scrollToBottom();
    } else {
        view->scrollTo(view->model()->index(row, 0), QAbstractItemView::EnsureVisible);
    }
}

void QtDialogView::SetRange(int id, int lower, int upper) {
    if (auto* bar = builder_.ControlAs<QProgressBar>(id)) {
        bar->setRange(lower, upper);
    }
}

void QtDialogView::SetPosition(int id, int position) {
    if (auto* bar = builder_.ControlAs<QProgressBar>(id)) {
        // Qt would ignore a position outside the range.
        bar->setValue(std::clamp(position, bar->minimum(), bar->maximum()));
    }
}

void QtDialogView::CloseDialog(bool accepted) {
    window_.done(accepted ? QDialog::Accepted : QDialog::Rejected);
}

}  // namespace uhf
