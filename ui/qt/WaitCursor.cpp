#include "ui/qt/WaitCursor.h"

#include <QApplication>
#include <QCursor>

namespace uhf {

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace uhf
