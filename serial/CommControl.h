#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "serial/SerialError.h"

namespace uhf {

// The event-driven serial control of the download tool: a port opened by name at a baud rate on
// the reader's line (8 data bits, no parity, 1 stop bit), a write of a byte run, and
// notifications: how an open went, and the bytes received since the last one. Every call and
// every notification happens on the owner's thread; a notification never runs inside another
// call on the control.
class CommControl {
  public:
    using ReceiveHandler = std::function<void(const std::uint8_t* bytes, int count)>;
    using OpenedHandler = std::function<void(SerialError error)>;

    virtual ~CommControl() = default;

    // Begins opening `portName` (a device path on Linux, COM3 on Windows) at `baudRate` away from
    // the owner's thread: a driver may hold an open for half a minute (an outgoing Bluetooth
    // link), and the window must go on answering meanwhile. `opened` then hears None once the
    // port is open, otherwise why not (AlreadyOpen while a port is open or opening here), before
    // any byte read from it. A Close first abandons the open: `opened` never runs, and a port
    // that opens late is closed again.
    virtual void Open(const std::string& portName, int baudRate, OpenedHandler opened) = 0;

    // Closes the port, or abandons the open under way; harmless when there is neither.
    virtual void Close() = 0;

    virtual bool IsOpen() const = 0;

    // Queues `count` bytes to leave in order. False, with the reason in LastError(), when no port
    // is open or the port has failed.
    virtual bool Write(const std::uint8_t* bytes, int count) = 0;

    // Called with every arrival; an empty handler drops the bytes.
    virtual void SetReceiveHandler(ReceiveHandler handler) = 0;

    // The reason of the last failed open or Write, or of the loss of the open port. A successful
    // open clears it.
    virtual SerialError LastError() const = 0;
};

}  // namespace uhf
