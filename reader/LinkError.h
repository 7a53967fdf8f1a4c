#pragma once

#include <string>

namespace uhf {

// Why the last operation of a ReaderLink returned 0.
enum class LinkError {
    None,
    OpenFailed,     // the port could not be opened or set up; see LastOpenError()
    NotOpen,        // no port is open
    LockTimeout,    // the port stayed busy (another exchange held it) for 3000 ms
    FrameRefused,   // the request could not be built or does not fit the send buffer
    WriteFailed,    // not every byte of the request was written
    PortFailed,     // the port failed while reading (for instance it vanished)
    NoReply,        // no answering frame in the bytes read
    StatusRefused,  // the reader answered with a failure status
    WrongHeader,    // a block read answered with a header other than 0xE0
    ShortReply,     // a block read answered with fewer values than asked for
    RecordInvalid,  // the record to write is refused by IsValid
    LockedOut,      // the tag store stayed locked for 1000 ms
};

std::string ToString(LinkError error);

}  // namespace uhf
