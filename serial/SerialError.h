#pragma once

#include <string>

namespace uhf {

// Why a serial port could not be opened or used: the one error type of the serial layer, for the
// blocking port and the event-driven control alike.
enum class SerialError {
    None,
    InvalidName,       // a name that the platform's naming rule refuses
    NoSuchDevice,      // nothing at that name
    PermissionDenied,  // the device exists but this user may not open it
    Busy,              // another program holds the port
    NotATerminal,      // the device is not a serial line
    IsADirectory,      // the name is a directory's
    LinkLoop,          // the name's symbolic links go round in a loop
    NameTooLong,       // the name, or a part of it, is longer than the system takes
    SettingsRefused,   // the driver refused the line settings (baud rate, framing, time-outs)
    AlreadyOpen,       // this control has a port open already
    NotOpen,           // a write with no port open
    WriteFailed,       // the device took fewer bytes than were written
    DeviceLost,        // the device went away while open
    IoError,           // any other failure of the operating system
};

// A short English text for messages; the permission text names the usual fix.
std::string ToString(SerialError error);

}  // namespace uhf
