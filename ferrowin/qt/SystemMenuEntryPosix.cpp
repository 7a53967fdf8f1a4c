#include "ferrowin/qt/SystemMenuEntry.h"

#include <QByteArray>

namespace uhf {

bool SystemMenuEntry::Append(QWidget&, const QString&, int) {
    return false;
}

bool SystemMenuEntry::IsChosen(const QByteArray&, void*, int) {
    return false;
}

}  // namespace uhf
