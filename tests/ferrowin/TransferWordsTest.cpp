#include "ferrowin/TransferWords.h"

#include <gtest/gtest.h>

#include <string>
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

struct EndCase {
    const char* name;
    TransferEnd end;
    Lines lines;
};

class TransferEndWords : public testing::TestWithParam<EndCase> {};

// The window and ferrowin-cli show these lines, in this order; the texts are the tool's own.
TEST_P(TransferEndWords, AreTheLogLinesAndBoxesOfThatEnd) {
    EXPECT_EQ(TransferWords::Of(GetParam().end), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Ends, TransferEndWords,
    testing::Values(
        EndCase{"Success", {TransferError::None}, {Log("Upgrade file transferred successfully.")}},
        EndCase{"NoBaudRate", {TransferError::NoBaudRate}, {Log("Please select both baud rates.")}},
        EndCase{"FirmwareMissing",
                {TransferError::FirmwareMissing},
                {Log("The firmware file does not exist.")}},
        EndCase{"FirmwareUnreadable",
                {TransferError::FirmwareUnreadable, SerialError::None, "it is a directory"},
                {Log("Fail to read the firmware file."), Log("Reason: it is a directory.")}},
        EndCase{"FirmwareTruncated",
                {TransferError::FirmwareTruncated},
                {Log("The firmware file is shorter than its size.")}},
        EndCase{
            "FirmwareEmpty", {TransferError::FirmwareEmpty}, {Log("The firmware file is empty.")}},
        EndCase{"FirmwareTooLong",
                {TransferError::FirmwareTooLong},
                {Log("The firmware file is longer than 65535 bytes.")}},
        EndCase{"PortAlreadyOpen",
                {TransferError::PortAlreadyOpen, SerialError::AlreadyOpen},
                {Box("端口已经打开"), Log("Fail to open the serial port.")}},
        EndCase{"PortBusy",
                {TransferError::PortOpenFailed, SerialError::Busy},
                {Log("Fail to open the serial port."),
                 Log("Reason: the port is busy (another program has it open).")}},
        EndCase{
            "NoProbeAnswer",
            {TransferError::NoProbeAnswer},
            {Log("The reader did not answer. Please check the serial port and the baud rate.")}},
        EndCase{"NoBaudAnswer",
                {TransferError::NoBaudAnswer},
                {Box("等待超时,请检测波特率或者串口选择是否正确")}},
        EndCase{"NoAcknowledgementOfALostDevice",
                {TransferError::NoAcknowledgement, SerialError::DeviceLost},
                {Log("Reason: the device was lost."), Box("文件发送失败，请重试!")}},
        EndCase{"Cancelled", {TransferError::Cancelled}, {Log("The download was stopped.")}}),
    [](const testing::TestParamInfo<EndCase>& info) { return info.param.name; });

TEST(TransferEventWords, AreOneLogLineEach) {
    EXPECT_EQ(TransferWords::Of(TransferEvent::BaudChange), Lines{Log("Change baud rate.")});
    EXPECT_EQ(TransferWords::Of(TransferEvent::SendingImage),
              Lines{Log("Start sending upgrade firmware.")});
    EXPECT_EQ(TransferWords::Of(TransferEvent::BytesDropped),
              Lines{Log("Too many unrecognised bytes received; they were dropped.")});
}

}  // namespace
}  // namespace uhf
