#pragma once

#include <QDialog>
#include <QKeyEvent>

namespace uhf {

// Enter in a dialog without an OK button of its own: it clicks the focused push button, or else
// closes the dialog as the OK command would.
class EnterKey {
  public:
    // True when the event was Enter and has been handled.
    static bool Handle(QDialog& dialog, QKeyEvent* event);
};

}  // namespace uhf
