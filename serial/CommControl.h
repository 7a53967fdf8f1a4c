#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace uhf {

// Why a port could not be opened or written.
enum class CommError {
    None,
    NotFound,          // no such device
    Busy,              // in use by another program
    PermissionDenied,  // this user may not open the device
    NotSerialPort,     // a device or file that is not a serial line
    BadSettings,       // the settings string could not be parsed or applied
    AlreadyOpen,       // this control already has a port open
    NotOpen,           // a write with no port open
    WriteFailed,       // the device refused the bytes
    DeviceLost,        // the device went away while open
    Other,
};

inline const char* ToString(CommError error) {
    switch (error) {
        case CommError::None:
            return "no error";
        case CommError::NotFound:
            return "the port does not exist";
        case CommError::Busy:
            return "the port is busy (another program has it open)";
        case CommError::PermissionDenied:
            return "permission denied";
        case CommError::NotSerialPort:
            return "not a serial port";
        case CommError::BadSettings:
            return "the port settings are not valid";
        case CommError::AlreadyOpen:
            return "the port is already open";
        case CommError::NotOpen:
            return "the port is not open";
        case CommError::WriteFailed:
            return "the bytes could not be written";
        case CommError::DeviceLost:
            return "the device was lost";
        case CommError::Other:
            break;
    }
    return "the port could not be used";
}

// The event-driven serial control of the download tool: a port opened by name with a settings
// string, a write of a byte run, and a notification with the bytes received since the last one.
// Every call and every notification happens on the owner's thread; a notification never runs
// inside another call on the control.
class CommControl {
  public:
    using ReceiveHandler = std::function<void(const std::uint8_t* bytes, int count)>;

    virtual ~CommControl() = default;

    // Opens `portName` (a device path on Linux, COM3 on Windows) with `settings` such as
    // "115200,N,8,1": baud rate, parity N/E/O/M/S, data bits 5..8, stop bits 1, 1.5 or 2; no flow
    // control. Returns 1 when open, 0 otherwise with the reason in LastError(); nothing is sent.
    virtual int Open(const std::string& portName, const std::string& settings) = 0;

    // Closes the port; harmless when none is open.
    virtual void Close() = 0;

    virtual bool IsOpen() const = 0;

    // Queues `count` bytes to leave in order. Returns 1, or 0 with the reason in LastError().
    virtual int Write(const std::uint8_t* bytes, int count) = 0;

    // Called with every arrival; an empty handler drops the bytes.
    virtual void SetReceiveHandler(ReceiveHandler handler) = 0;

    // The reason of the last failed Open or Write, or of the loss of the open port, and the
    // system's own words for it (may be empty). A successful Open clears it.
    virtual CommError LastError() const = 0;
    virtual std::string LastErrorText() const = 0;
};

}  // namespace uhf
