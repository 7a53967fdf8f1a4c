#pragma once

namespace uhf {

// Why an attempt of the upgrade transfer ended; None is success.
enum class TransferError {
    None,
    NoBaudRate,          // a baud-rate choice without a selection
    FirmwareUnreadable,  // missing, unreadable or truncated file
    FirmwareEmpty,       // a file of 0 bytes: never a real image
    FirmwareTooLong,     // over 65535 bytes
    PortAlreadyOpen,
    PortOpenFailed,  // absent or busy port, at the start or at a baud-rate change
    NoProbeAnswer,
    NoBaudAnswer,
    NoAcknowledgement,  // a data or end frame not acknowledged within 1000 ms
    Cancelled,
};

const char* ToString(TransferError error);

}  // namespace uhf
