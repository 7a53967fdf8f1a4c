#include "upgrade/TransferError.h"

namespace uhf {

const char* ToString(TransferError error) {
    switch (error) {
        case TransferError::None:
            return "no error";
        case TransferError::NoBaudRate:
            return "a baud rate is not selected";
        case TransferError::FirmwareMissing:
            return "the firmware file does not exist";
        case TransferError::FirmwareUnreadable:
            return "the firmware file cannot be read";
        case TransferError::FirmwareTruncated:
            return "the firmware file is shorter than its size";
        case TransferError::FirmwareEmpty:
            return "the firmware file is empty";
        case TransferError::FirmwareTooLong:
            return "the firmware file is longer than 65535 bytes";
        case TransferError::PortAlreadyOpen:
            return "the serial port is already open";
        case TransferError::PortOpenFailed:
            return "the serial port cannot be opened";
        case TransferError::NoProbeAnswer:
            return "the reader did not answer the probes";
        case TransferError::NoBaudAnswer:
            return "the reader did not answer the baud-rate frame";
        case TransferError::NoAcknowledgement:
            return "a data or end frame was not acknowledged";
        case TransferError::Cancelled:
            return "the download was stopped";
    }
    return "unknown transfer error";
}

}  // namespace uhf
