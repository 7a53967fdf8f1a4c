#include "serial/SerialError.h"

namespace uhf {

std::string ToString(SerialError error) {
    switch (error) {
        case SerialError::None:
            return "no error";
        case SerialError::InvalidName:
            return "the port name is not a valid port name";
        case SerialError::NoSuchDevice:
            return "no such device";
        case SerialError::PermissionDenied:
            return "permission denied (the user must be in the group that owns the device, "
                   "e.g. dialout)";
        case SerialError::Busy:
            return "the port is busy (another program has it open)";
        case SerialError::NotATerminal:
            return "the device is not a serial port";
        case SerialError::IsADirectory:
            return "the name is a directory, not a device";
        case SerialError::LinkLoop:
            return "too many levels of symbolic links";
        case SerialError::NameTooLong:
            return "the name is too long";
        case SerialError::SettingsRefused:
            return "the port refused the line settings";
        case SerialError::AlreadyOpen:
            return "the port is already open";
        case SerialError::NotOpen:
            return "the port is not open";
        case SerialError::WriteFailed:
            return "the bytes could not be written";
        case SerialError::DeviceLost:
            return "the device was lost";
        case SerialError::IoError:
            return "input/output error";
    }
    return "unknown serial error";
}

}  // namespace uhf
