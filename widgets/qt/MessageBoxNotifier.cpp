#include "widgets/qt/MessageBoxNotifier.h"

#include <utility>

namespace uhf {

MessageBoxNotifier::MessageBoxNotifier(QString caption, QMessageBox::Icon icon)
    : caption_(std::move(caption)), icon_(icon) {}

void MessageBoxNotifier::Notify(const QString& text) {
    QMessageBox box(icon_, caption_, text, QMessageBox::Ok, parent_);
    box.exec();
}

}  // namespace uhf
