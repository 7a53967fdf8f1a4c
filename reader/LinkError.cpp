#include "reader/LinkError.h"

namespace uhf {

std::string ToString(LinkError error) {
    switch (error) {
        case LinkError::None:
            return "no error";
        case LinkError::OpenFailed:
            return "the port could not be opened";
        case LinkError::NotOpen:
            return "no port is open";
        case LinkError::LockTimeout:
            return "the port stayed busy for 3000 ms";
        case LinkError::FrameRefused:
            return "the request could not be framed";
        case LinkError::WriteFailed:
            return "the request could not be written to the port";
        case LinkError::PortFailed:
            return "the device was lost (the port failed while in use)";
        case LinkError::NoReply:
            return "no reply from the reader";
        case LinkError::BadChecksum:
            return "the reader's reply had a wrong checksum";
        case LinkError::Conflicting:
            return "two different replies answered the request (a late copy of an earlier one?)";
        case LinkError::StatusRefused:
            return "the reader refused the request";
        case LinkError::WrongHeader:
            return "the reader answered with an unexpected frame header";
        case LinkError::ShortReply:
            return "the reader's reply was too short";
        case LinkError::RecordInvalid:
            return "the parameter record is out of range (refused by IsValid)";
        case LinkError::LockedOut:
            return "the tag store stayed locked";
        case LinkError::Stopped:
            return "stopped on request before the request was sent";
    }
    return "unknown link error";
}

std::string ToString(LinkError error, const std::string& detail) {
    return detail.empty() ? ToString(error) : ToString(error) + ": " + detail;
}

}  // namespace uhf
