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
    PortFailed,     // the port failed while in use: the device went away
    NoReply,        // no answering frame in the bytes read
    BadChecksum,    // no answering frame, but one with the request's code and a wrong checksum
    Conflicting,    // two different frames answered the one request (one of them stale)
    StatusRefused,  // the reader answered with a failure status
    WrongHeader,    // a block read answered with a header other than 0xE0
    ShortReply,     // a block read answered with fewer values than asked for
    RecordInvalid,  // the record to write is refused by IsValid
    LockedOut,      // the tag store stayed locked for 1000 ms
    Stopped,        // a stop request came first: the request was not sent
};

std::string ToString(LinkError error);
// The text of `error` followed by what the failed operation knew about it (the field IsValid
// refused, the blocks a failed write had already written), when there is something.
std::string ToString(LinkError error, const std::string& detail);

}  // namespace uhf
