#include "downloader/UpgradeTransfer.h"

#include <algorithm>
#include <cstring>

#include "downloader/FirmwareReader.h"
#include "protocol/BaudRates.h"
#include "protocol/ProtocolCodes.h"

namespace uhf {

namespace {

constexpr int kHighestBaudIndex = 4;
constexpr int kMinAnswerLength = 5;

bool IsAccepted(const Answer& answer) {
    return answer.kind == AnswerKind::Reply || answer.kind == AnswerKind::Alternate;
}

const char* const kLogSelectFirmware = "Please select one firmware.";
const char* const kLogSelectBaud = "Please select both baud rates.";
const char* const kLogOpenFailed = "Fail to open the serial port.";
const char* const kLogChangeBaud = "Change baud rate.";
const char* const kLogStartSending = "Start sending upgrade firmware.";
const char* const kLogSuccess = "Upgrade file transferred successfully.";
const char* const kLogNoProbeAnswer =
    "The reader did not answer. Please check the serial port and the baud rate.";
const char* const kLogOverflow = "Too many unrecognised bytes received; they were dropped.";
const char* const kLogStopped = "The download was stopped.";
const char* const kMsgPortOpen = "端口已经打开";
const char* const kMsgBaudTimeout = "等待超时,请检测波特率或者串口选择是否正确";
const char* const kMsgSendFailed = "文件发送失败，请重试!";

const char* ImageLogLine(ImageError error) {
    switch (error) {
        case ImageError::Missing:
            return "The firmware file does not exist.";
        case ImageError::Truncated:
            return "The firmware file is shorter than its size.";
        case ImageError::TooLong:
            return "The firmware file is longer than 65535 bytes.";
        case ImageError::None:
        case ImageError::Unreadable:
            break;
    }
    return "Fail to read the firmware file.";
}

}  // namespace

const char* ToString(TransferError error) {
    switch (error) {
        case TransferError::None:
            return "no error";
        case TransferError::NoFirmware:
            return "no firmware file chosen";
        case TransferError::NoBaudRate:
            return "a baud rate is not selected";
        case TransferError::FirmwareUnreadable:
            return "the firmware file cannot be read";
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

UpgradeTransfer::UpgradeTransfer(CommControl& commControl, TransferHost& transferHost)
    : comm(commControl), host(transferHost) {
    comm.SetReceiveHandler(
        [this](const std::uint8_t* bytes, int count) { HandleCommEvent(bytes, count); });
}

UpgradeTransfer::~UpgradeTransfer() {
    comm.SetReceiveHandler(nullptr);
}

int UpgradeTransfer::SendBytes(const std::uint8_t* bytes, int count) {
    if (!comm.IsOpen()) {
        return 0;
    }
    return comm.Write(bytes, count) != 0 ? 1 : 0;
}

int UpgradeTransfer::OpenPort(int baudRate) {
    openError = CommError::None;
    if (comm.IsOpen()) {
        openError = CommError::AlreadyOpen;
        host.ShowMessage(kMsgPortOpen);
        return 0;
    }
    const std::string settings = std::to_string(baudRate) + ",N,8,1";
    if (comm.Open(selections.portName, settings) == 0) {
        openError = comm.LastError() == CommError::None ? CommError::Other : comm.LastError();
        return 0;
    }
    // Bytes gathered at the old rate (a late answer garbled by the reader's own switch) mean
    // nothing at the new one and would spoil every answer appended to them.
    rxCount = 0;
    return 1;
}

void UpgradeTransfer::SendProbe() {
    SendBytes(kProbeFrame.data(), kProbeFrame.size());
}

void UpgradeTransfer::SendAltProbe() {
    SendBytes(kAltProbeFrame.data(), kAltProbeFrame.size());
}

void UpgradeTransfer::SendEnd() {
    SendBytes(kEndFrame.data(), kEndFrame.size());
}

void UpgradeTransfer::SendBaudCommand() {
    const int index = host.DownloadBaudIndex();
    if (index < 0 || index > kHighestBaudIndex) {
        host.AddLog(kLogSelectBaud);
        Finish(TransferError::NoBaudRate);
        return;
    }
    const auto frame = BuildBaudFrame(static_cast<std::uint8_t>(index));
    host.ArmTimer(kBaudTimer, kBaudMs);
    baudAcked = false;
    SendBytes(frame.data(), frame.size());
}

void UpgradeTransfer::SendImageSize() {
    // The image was read whole when the download started.
    imageLength = static_cast<std::uint16_t>(imageData.size());
    packetCount = PacketCountFor(imageLength);
    nextPacket = 0;
    lastPacketSent = false;
    host.SetProgressRange(1, packetCount);
    const auto frame = BuildSizeFrame(imageLength);
    SendBytes(frame.data(), frame.size());
}

void UpgradeTransfer::SendNextPacket() {
    host.SetProgressPosition(nextPacket);
    if (!imageLoaded) {
        return;
    }
    const int size =
        BuildDataFrame(imageData.data(), imageLength, nextPacket, packetCount, packetBuffer.data());
    if (size == 0) {
        return;
    }
    SendBytes(packetBuffer.data(), size);
    if (nextPacket < packetCount - 1) {
        ++nextPacket;
        lastPacketSent = false;
    } else {
        packetCount = 0;
        nextPacket = 0;
        lastPacketSent = true;
    }
}

void UpgradeTransfer::StartDownload() {
    if (IsRunning()) {
        return;
    }
    firmwarePath = host.FirmwarePath();
    rxCount = 0;
    probeAcked = false;
    baudAcked = false;
    succeeded = false;
    lastError = TransferError::None;
    openError = CommError::None;

    if (firmwarePath.size() < 2) {
        host.AddLog(kLogSelectFirmware);
        lastError = TransferError::NoFirmware;
        return;
    }
    selections = host.ReadSelections();
    if (selections.deviceBaud <= 0 || selections.downloadBaud <= 0 ||
        host.DownloadBaudIndex() < 0) {
        host.AddLog(kLogSelectBaud);
        lastError = TransferError::NoBaudRate;
        return;
    }
    // Read the whole image before anything is sent, so nothing streams bytes that never loaded.
    const ImageError imageError = FirmwareReader::Load(firmwarePath, imageData);
    if (imageError != ImageError::None) {
        host.AddLog(ImageLogLine(imageError));
        lastError = imageError == ImageError::TooLong ? TransferError::FirmwareTooLong
                                                      : TransferError::FirmwareUnreadable;
        host.EnableInputs();
        return;
    }
    imageLoaded = true;
    imageLength = static_cast<std::uint16_t>(imageData.size());

    if (OpenPort(selections.deviceBaud) == 0) {
        imageData.clear();
        imageLoaded = false;
        host.EnableInputs();
        host.AddLog(kLogOpenFailed);
        if (openError == CommError::AlreadyOpen) {
            lastError = TransferError::PortAlreadyOpen;
        } else {
            host.AddLog(std::string("Reason: ") + ToString(openError) + ".");
            lastError = TransferError::PortOpenFailed;
        }
        return;
    }
    phase = TransferPhase::Probing;
    host.DisableInputs();
    host.ArmTimer(kProbeTimer, kProbeMs);
    retryCount = 0;
    SendProbe();
    SendAltProbe();
}

void UpgradeTransfer::HandleTimer(int id) {
    if (!IsRunning()) {
        host.StopTimer(id);
        return;
    }
    switch (id) {
        case kProbeTimer:
            HandleProbeTimer();
            break;
        case kBaudTimer:
            HandleBaudTimer();
            break;
        case kAckTimer:
            HandleAckTimer();
            break;
        default:
            break;
    }
}

void UpgradeTransfer::HandleProbeTimer() {
    host.StopTimer(kProbeTimer);
    if (probeAcked) {
        comm.Close();
        if (OpenPort(kBaudChangeRate) == 0) {
            FailOpen(TransferError::PortOpenFailed);
            return;
        }
        phase = TransferPhase::BaudChange;
        host.AddLog(kLogChangeBaud);
        SendBaudCommand();
        return;
    }
    ++retryCount;
    if (retryCount > kMaxRetries) {
        comm.Close();
        host.AddLog(kLogNoProbeAnswer);
        Finish(TransferError::NoProbeAnswer);
        return;
    }
    if (retryCount % 2 != 0) {
        SendProbe();
    } else {
        SendAltProbe();
    }
    host.ArmTimer(kProbeTimer, kProbeMs);
}

void UpgradeTransfer::HandleBaudTimer() {
    host.StopTimer(kBaudTimer);
    if (baudAcked) {
        comm.Close();
        if (OpenPort(selections.downloadBaud) == 0) {
            FailOpen(TransferError::PortOpenFailed);
            return;
        }
        phase = TransferPhase::SizeAnnounced;
        host.AddLog(kLogStartSending);
        SendImageSize();
        return;
    }
    ++retryCount;
    if (retryCount > kMaxRetries) {
        comm.Close();
        host.ShowMessage(kMsgBaudTimeout);
        Finish(TransferError::NoBaudAnswer);
        return;
    }
    SendBaudCommand();
}

void UpgradeTransfer::HandleAckTimer() {
    host.StopTimer(kAckTimer);
    comm.Close();
    imageData.clear();
    imageLoaded = false;
    host.ShowMessage(kMsgSendFailed);
    Finish(TransferError::NoAcknowledgement);
}

void UpgradeTransfer::HandleCommEvent(const std::uint8_t* bytes, int count) {
    if (bytes == nullptr || count <= 0) {
        return;
    }
    if (!IsRunning()) {
        // Nothing is waiting for an answer; a stale byte must not spoil the next start.
        rxCount = 0;
        return;
    }
    if (count > kRxCapacity - rxCount) {
        // A run this long holds no answer that could still be completed; start over.
        host.AddLog(kLogOverflow);
        rxCount = 0;
        count = std::min(count, kRxCapacity);
    }
    std::memcpy(rxBuffer.data() + rxCount, bytes, static_cast<std::size_t>(count));
    rxCount += count;

    while (rxCount > 0 && IsRunning()) {
        // The whole run first; failing that, an answer at its start that later bytes followed
        // in the same delivery (two answers, or an answer and noise, read together).
        Answer answer = JudgeAnswer(rxBuffer.data(), rxCount);
        int used = IsAccepted(answer) ? rxCount : 0;
        for (int length = kMinAnswerLength; used == 0 && length < rxCount; ++length) {
            answer = JudgeAnswer(rxBuffer.data(), length);
            used = IsAccepted(answer) ? length : 0;
        }
        if (used == 0) {
            return;  // keep the bytes and judge them again with the next ones
        }
        std::memmove(rxBuffer.data(), rxBuffer.data() + used,
                     static_cast<std::size_t>(rxCount - used));
        rxCount -= used;
        ActOnAnswer(answer);
    }
}

void UpgradeTransfer::ActOnAnswer(const Answer& answer) {
    if (answer.kind == AnswerKind::Alternate) {
        probeAcked = true;
        return;
    }
    switch (answer.command) {
        case Byte(UpgradeCode::BaudRate):
            baudAcked = true;
            break;
        case Byte(UpgradeCode::Size):
            // Before the size frame went out (or once streaming), a size answer is stray: acting on
            // it would send image data early, at the wrong rate or out of turn.
            if (phase != TransferPhase::SizeAnnounced) {
                break;
            }
            host.StopTimer(kAckTimer);
            if (!lastPacketSent) {
                host.Pause(kFirstPacketPauseMs);
                SendNextPacket();
            }
            phase = TransferPhase::Streaming;
            host.ArmTimer(kAckTimer, kAckMs);
            break;
        case Byte(UpgradeCode::Data):
            if (phase != TransferPhase::Streaming && phase != TransferPhase::Ending) {
                break;
            }
            host.StopTimer(kAckTimer);
            if (lastPacketSent) {
                SendEnd();
                phase = TransferPhase::Ending;
            } else {
                SendNextPacket();
                phase = TransferPhase::Streaming;
            }
            host.ArmTimer(kAckTimer, kAckMs);
            break;
        case Byte(UpgradeCode::End):
            // Only the end frame can be acknowledged as the end: taken earlier, it would report
            // an image that never finished as transferred.
            if (phase != TransferPhase::Ending) {
                break;
            }
            host.StopTimer(kAckTimer);
            host.AddLog(kLogSuccess);
            succeeded = true;
            Finish(TransferError::None);
            break;
        case Byte(UpgradeCode::Probe):
            probeAcked = true;
            break;
        default:
            break;
    }
}

void UpgradeTransfer::Cancel() {
    if (!IsRunning()) {
        return;
    }
    host.AddLog(kLogStopped);
    Finish(TransferError::Cancelled);
}

void UpgradeTransfer::FailOpen(TransferError error) {
    host.AddLog(kLogOpenFailed);
    if (openError != CommError::AlreadyOpen) {
        host.AddLog(std::string("Reason: ") + ToString(openError) + ".");
    }
    Finish(error);
}

void UpgradeTransfer::Finish(TransferError error) {
    // After an ending nothing may move the transfer on, so every timer goes with it.
    host.StopTimer(kProbeTimer);
    host.StopTimer(kBaudTimer);
    host.StopTimer(kAckTimer);
    comm.Close();
    imageData.clear();
    imageData.shrink_to_fit();
    imageLoaded = false;
    rxCount = 0;
    phase = TransferPhase::Idle;
    lastError = error;
    host.EnableInputs();
}

}  // namespace uhf
