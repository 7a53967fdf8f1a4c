#pragma once

#include <QObject>

#include "serial/NativeCommControl.h"

namespace uhf {

// The native serial control as the Qt window hosts it: each notice of the control, from its
// receive thread or from a write, becomes a queued call on the thread that made this object,
// where the window's event loop then runs ProcessPending. So the transfer hears every arrival on
// the window's thread, between two of its events, and never inside another call.
class QtCommControl : public NativeCommControl {
  public:
    // `port` is this control's alone while it lives.
    explicit QtCommControl(SerialPort& port);
    ~QtCommControl() override;

  private:
    // Receives the queued calls; calls still queued when it goes are dropped with it.
    QObject receiver;
};

}  // namespace uhf
