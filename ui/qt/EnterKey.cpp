#include "ui/qt/EnterKey.h"

#include <QPushButton>

namespace uhf {

bool EnterKey::Handle(QDialog& dialog, QKeyEvent* event) {
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        return false;
    }
    if (auto* button = qobject_cast<QPushButton*>(dialog.focusWidget())) {
        button->click();
    } else {
        dialog.accept();
    }
    return true;
}

}  // namespace uhf
