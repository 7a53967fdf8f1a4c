#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "serial/SerialError.h"

namespace uhf {

// The event-driven serial control of the download tool: a port opened by name at a baud rate on
// the reader's line (8 data bits, no parity, 1 stop bit), a write of a byte run, and a
// notification with the bytes received since the last one. Every call and every notification
// happens on the owner's thread; a notification never runs inside another call on the control.
class CommControl {
  public:
    using ReceiveHandler = std::function<void(const std::uint8_t* bytes, int count)>;

    virtual ~CommControl() = default;

    // Opens `portName` (a device path on Linux, COM3 on Windows) at `baudRate`. None once open;
    // otherwise why not (AlreadyOpen while this control has a port open), and nothing is sent.
    virtual SerialError Open(const std::string& portName, int baudRate) = 0;

    // Closes the port; harmless when none is open.
    virtual void Close() = 0;

    virtual bool IsOpen() const = 0;

    // Queues `count` bytes to leave in order. False, with the reason in LastError(), when no port
    // is open or the port has failed.
    virtual bool Write(const std::uint8_t* bytes, int count) = 0;

    // Called with every arrival; an empty handler drops the bytes.
    virtual void SetReceiveHandler(ReceiveHandler handler) = 0;

    // The reason of the last failed Open or Write, or of the loss of the open port. A successful
    // Open clears it.
    virtual SerialError LastError() const = 0;
};

}  // namespace uhf
