#include "ferrowin/TransferWords.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace uhf {
namespace {

using Lines = std::vector<TransferWords::Line>;

TransferWords::Line Log(const char* text) {
    return {false, text};
}

TransferWords::Line Box(const char* text) {
    return {true, text};
}

// The window and ferrowin-cli show these lines, in this order; the texts are the tool's own.
TEST(TransferWordsTest, EachEndIsSaidInItsLogLinesAndBoxes) {
    const std::vector<std::pair<TransferEnd, Lines>> cases = {
        {{TransferError::None}, {Log("Upgrade file transferred successfully.")}},
        {{TransferError::NoBaudRate}, {Log("Please select both baud rates.")}},
        {{TransferError::FirmwareMissing}, {Log("The firmware file does not exist.")}},
        {{TransferError::FirmwareUnreadable, SerialError::None, "it is a directory"},
         {Log("Fail to read the firmware file."), Log("Reason: it is a directory.")}},
        {{TransferError::FirmwareTruncated}, {Log("The firmware file is shorter than its size.")}},
        {{TransferError::FirmwareEmpty}, {Log("The firmware file is empty.")}},
        {{TransferError::FirmwareTooLong}, {Log("The firmware file is longer than 65535 bytes.")}},
        {{TransferError::PortAlreadyOpen, SerialError::AlreadyOpen},
         {Box("端口已经打开"), Log("Fail to open the serial port.")}},
        {{TransferError::PortOpenFailed, SerialError::Busy},
         {Log("Fail to open the serial port."),
          Log("Reason: the port is busy (another program has it open).")}},
        {{TransferError::NoProbeAnswer},
         {Log("The reader did not answer. Please check the serial port and the baud rate.")}},
        {{TransferError::NoBaudAnswer}, {Box("等待超时,请检测波特率或者串口选择是否正确")}},
        {{TransferError::NoAcknowledgement, SerialError::DeviceLost},
         {Log("Reason: the device was lost."), Box("文件发送失败，请重试!")}},
        {{TransferError::Cancelled}, {Log("The download was stopped.")}},
    };
    for (const auto& [end, lines] : cases) {
        SCOPED_TRACE(ToString(end.error));
        EXPECT_EQ(TransferWords::Of(end), lines);
    }
}

TEST(TransferWordsTest, EachStepIsOneLogLine) {
    EXPECT_EQ(TransferWords::Of(TransferEvent::BaudChange), Lines{Log("Change baud rate.")});
    EXPECT_EQ(TransferWords::Of(TransferEvent::SendingImage),
              Lines{Log("Start sending upgrade firmware.")});
    EXPECT_EQ(TransferWords::Of(TransferEvent::BytesDropped),
              Lines{Log("Too many unrecognised bytes received; they were dropped.")});
}

}  // namespace
}  // namespace uhf
