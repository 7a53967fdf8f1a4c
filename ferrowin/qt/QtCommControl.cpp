#include "ferrowin/qt/QtCommControl.h"

#include <QMetaObject>

namespace uhf {

QtCommControl::QtCommControl(SerialPort& port)
    : NativeCommControl(port, [this] {
          QMetaObject::invokeMethod(
              &receiver, [this] { ProcessPending(); }, Qt::QueuedConnection);
      }) {}

QtCommControl::~QtCommControl() {
    // The receive thread ends here, while `receiver` can still take its last notice.
    Close();
}

}  // namespace uhf
