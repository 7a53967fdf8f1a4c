#include "ferrowin/TransferWords.h"

namespace uhf {

namespace {

using Lines = std::vector<TransferWords::Line>;

TransferWords::Line Log(std::string text) {
    return {false, std::move(text)};
}

TransferWords::Line Box(std::string text) {
    return {true, std::move(text)};
}

TransferWords::Line Reason(const std::string& why) {
    return Log("Reason: " + why + ".");
}

const char* FirmwareLine(TransferError error) {
    switch (error) {
        case TransferError::FirmwareMissing:
            return "The firmware file does not exist.";
        case TransferError::FirmwareTruncated:
            return "The firmware file is shorter than its size.";
        case TransferError::FirmwareTooLong:
            return "The firmware file is longer than 65535 bytes.";
        case TransferError::FirmwareEmpty:
            return "The firmware file is empty.";
        default:
            return "Fail to read the firmware file.";
    }
}

}  // namespace

std::vector<TransferWords::Line> TransferWords::Of(TransferEvent event) {
    switch (event) {
        case TransferEvent::BaudChange:
            return {Log("Change baud rate.")};
        case TransferEvent::SendingImage:
            return {Log("Start sending upgrade firmware.")};
        case TransferEvent::BytesDropped:
            return {Log("Too many unrecognised bytes received; they were dropped.")};
    }
    return {};
}

std::vector<TransferWords::Line> TransferWords::Of(const TransferEnd& end) {
    Lines lines;
    switch (end.error) {
        case TransferError::None:
            return {Log("Upgrade file transferred successfully.")};
        case TransferError::NoBaudRate:
            return {Log("Please select both baud rates.")};
        case TransferError::FirmwareMissing:
        case TransferError::FirmwareUnreadable:
        case TransferError::FirmwareTruncated:
        case TransferError::FirmwareEmpty:
        case TransferError::FirmwareTooLong:
            lines.push_back(Log(FirmwareLine(end.error)));
            if (!end.fileReason.empty()) {
                lines.push_back(Reason(end.fileReason));
            }
            return lines;
        case TransferError::PortAlreadyOpen:
        case TransferError::PortOpenFailed:
            if (end.port == SerialError::AlreadyOpen) {
                return {Box("端口已经打开"), Log("Fail to open the serial port.")};
            }
            return {Log("Fail to open the serial port."), Reason(ToString(end.port))};
        default:
            break;
    }
    // The attempt ran: a port that failed under it comes first, as the cause.
    if (end.port != SerialError::None) {
        lines.push_back(Reason(ToString(end.port)));
    }
    switch (end.error) {
        case TransferError::NoProbeAnswer:
            lines.push_back(
                Log("The reader did not answer. Please check the serial port and the baud rate."));
            break;
        case TransferError::NoBaudAnswer:
            lines.push_back(Box("等待超时,请检测波特率或者串口选择是否正确"));
            break;
        case TransferError::NoAcknowledgement:
            lines.push_back(Box("文件发送失败，请重试!"));
            break;
        default:
            lines.push_back(Log("The download was stopped."));
            break;
    }
    return lines;
}

}  // namespace uhf
