#pragma once

namespace uhf {

// Why an attempt of the upgrade transfer ended, or why its firmware file was refused; None is
// success.
enum class TransferError {
    None,
    NoBaudRate,          // a baud-rate choice without a selection
    FirmwareMissing,     // no file at the path
    FirmwareUnreadable,  // it exists but cannot be opened or read
    FirmwareTruncated,   // reading ended before the size the file claimed
    FirmwareEmpty,       // a file of 0 bytes: a failed build or a wrong pick, never firmware
    FirmwareTooLong,     // more bytes than the 16-bit size frame can announce
    PortAlreadyOpen,
    PortOpenFailed,  // absent or busy port, at the start or at a baud-rate change
    NoProbeAnswer,
    NoBaudAnswer,
    NoAcknowledgement,  // a data or end frame not acknowledged within 1000 ms
    Cancelled,
};

const char* ToString(TransferError error);

}  // namespace uhf
