#include "ferrowin/qt/QtCommControl.h"

#include <QMetaObject>

namespace uhf {

QtCommControl::QtCommControl(SerialPort& port)
    : NativeCommControl(port, [this] {
          QMetaObject::invokeMethod(
              &receiver, [this] { ProcessPending(); }, Qt::QueuedConnection);
      }) {}

QtCommControl::~QtCommControl() {
    // The receive and opening threads end here, while `receiver` can still take their last
    // notices.
    Shutdown();
}

}  // namespace uhf
