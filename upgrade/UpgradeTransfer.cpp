#include "upgrade/UpgradeTransfer.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "protocol/BaudRates.h"
#include "protocol/ProtocolCodes.h"
#include "protocol/TagFrameScanner.h"
#include "upgrade/FirmwareReader.h"

namespace uhf {

namespace {

constexpr int kMinAnswerLength = 5;

bool IsAccepted(const Answer& answer) {
    return answer.kind == AnswerKind::Reply || answer.kind == AnswerKind::Alternate;
}

}  // namespace

UpgradeTransfer::UpgradeTransfer(CommControl& commControl, TransferTimers& transferTimers,
                                 TransferObserver& transferObserver)
    : comm(commControl), timers(transferTimers), observer(transferObserver) {
    comm.SetReceiveHandler(
        [this](const std::uint8_t* bytes, int count) { HandleCommEvent(bytes, count); });
    timers.SetExpiryHandler([this](int id) { HandleTimer(id); });
}

UpgradeTransfer::~UpgradeTransfer() {
    comm.SetReceiveHandler(nullptr);
    timers.SetExpiryHandler(nullptr);
}

void UpgradeTransfer::Send(std::span<const std::uint8_t> frame) {
    if (comm.IsOpen()) {
        comm.Write(frame.data(), static_cast<int>(frame.size()));
    }
}

void UpgradeTransfer::OpenPortFor(TransferPhase next, int baudRate) {
    phase = next;
    openingPort = true;
    comm.Open(state.selections.portName, baudRate,
              [this](SerialError error) { PortOpened(error); });
}

void UpgradeTransfer::PortOpened(SerialError error) {
    openingPort = false;
    if (!IsRunning()) {
        return;
    }
    if (error != SerialError::None) {
        Finish({TransferError::PortOpenFailed, error});
        return;
    }
    // The open may have taken long enough for the user to ask for a stop.
    if (stopCheck && stopCheck()) {
        Cancel();
        return;
    }
    // Bytes gathered at the old rate (a late answer garbled by the reader's own switch) mean
    // nothing at the new one and would spoil every answer appended to them.
    state.rxCount = 0;
    switch (phase) {
        case TransferPhase::Probing:
            timers.Arm(kProbeTimer, kProbeMs);
            state.retryCount = 0;
            Send(kProbeFrame);
            Send(kAltProbeFrame);
            break;
        case TransferPhase::BaudChange:
            observer.Report(TransferEvent::BaudChange);
            SendBaudCommand();
            break;
        case TransferPhase::SizeAnnounced:
            observer.Report(TransferEvent::SendingImage);
            SendImageSize();
            break;
        default:
            break;
    }
}

void UpgradeTransfer::SendBaudCommand() {
    // The frame names the rate by its place in the windows' lists; the start made sure it has
    // one.
    const auto frame =
        BuildBaudFrame(static_cast<std::uint8_t>(BaudRateIndex(state.selections.downloadBaud)));
    timers.Arm(kBaudTimer, kBaudMs);
    state.baudAcked = false;
    Send(frame);
}

void UpgradeTransfer::SendImageSize() {
    // The image was read whole when the download started.
    state.imageLength = static_cast<std::uint16_t>(state.imageData.size());
    state.packetCount = PacketCountFor(state.imageLength);
    state.nextPacket = 0;
    state.lastPacketSent = false;
    observer.ShowProgress(0, state.imageLength);
    const auto frame = BuildSizeFrame(state.imageLength);
    Send(frame);
}

void UpgradeTransfer::SendNextPacket() {
    if (!imageLoaded) {
        return;
    }
    const int sent =
        std::min((state.nextPacket + 1) * kDataBytesPerPacket, static_cast<int>(state.imageLength));
    observer.ShowProgress(sent, state.imageLength);
    const std::optional<std::size_t> size =
        BuildDataFrame(state.imageData, state.nextPacket, state.packetCount, state.packetBuffer);
    if (!size) {
        return;
    }
    Send({state.packetBuffer.data(), *size});
    if (state.nextPacket < state.packetCount - 1) {
        ++state.nextPacket;
        state.lastPacketSent = false;
    } else {
        state.packetCount = 0;
        state.nextPacket = 0;
        state.lastPacketSent = true;
    }
}

void UpgradeTransfer::StartDownload(const std::string& firmwarePath,
                                    const TransferSelections& selections) {
    if (IsRunning()) {
        return;
    }
    state.selections = selections;
    state.rxCount = 0;
    state.probeAcked = false;
    state.baudAcked = false;

    if (state.selections.deviceBaud <= 0 || BaudRateIndex(state.selections.downloadBaud) < 0) {
        Finish({TransferError::NoBaudRate});
        return;
    }
    // Read the whole image before anything is sent, so nothing streams bytes that never loaded.
    TransferEnd refused;
    refused.error = FirmwareReader::Load(firmwarePath, state.imageData, &refused.fileReason);
    if (refused.error != TransferError::None) {
        Finish(refused);
        return;
    }
    imageLoaded = true;
    state.imageLength = static_cast<std::uint16_t>(state.imageData.size());

    if (stopCheck && stopCheck()) {
        Finish({TransferError::Cancelled});
        return;
    }
    if (comm.IsOpen()) {
        // Not this attempt's port: it stays as it is.
        Finish({TransferError::PortAlreadyOpen, SerialError::AlreadyOpen});
        return;
    }
    OpenPortFor(TransferPhase::Probing, state.selections.deviceBaud);
}

void UpgradeTransfer::HandleTimer(int id) {
    if (!IsRunning()) {
        timers.Stop(id);
        return;
    }
    if (stopCheck && stopCheck()) {
        Cancel();
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

bool UpgradeTransfer::RetriesSpent(TransferError error) {
    if (++state.retryCount <= kMaxRetries) {
        return false;
    }
    Finish({error, PortFault()});
    return true;
}

void UpgradeTransfer::HandleProbeTimer() {
    timers.Stop(kProbeTimer);
    if (state.probeAcked) {
        comm.Close();
        OpenPortFor(TransferPhase::BaudChange, kBaudChangeRate);
        return;
    }
    if (RetriesSpent(TransferError::NoProbeAnswer)) {
        return;
    }
    if (state.retryCount % 2 != 0) {
        Send(kProbeFrame);
    } else {
        Send(kAltProbeFrame);
    }
    timers.Arm(kProbeTimer, kProbeMs);
}

void UpgradeTransfer::HandleBaudTimer() {
    timers.Stop(kBaudTimer);
    if (state.baudAcked) {
        comm.Close();
        OpenPortFor(TransferPhase::SizeAnnounced, state.selections.downloadBaud);
        return;
    }
    if (!RetriesSpent(TransferError::NoBaudAnswer)) {
        SendBaudCommand();
    }
}

void UpgradeTransfer::HandleAckTimer() {
    timers.Stop(kAckTimer);
    Finish({TransferError::NoAcknowledgement, PortFault()});
}

void UpgradeTransfer::HandleCommEvent(const std::uint8_t* bytes, int count) {
    if (bytes == nullptr || count <= 0) {
        return;
    }
    if (!IsRunning()) {
        // Nothing is waiting for an answer; a stale byte must not spoil the next start.
        state.rxCount = 0;
        return;
    }
    if (count > TransferState::kRxCapacity - state.rxCount) {
        // A run this long holds no answer that could still be completed; start over.
        observer.Report(TransferEvent::BytesDropped);
        state.rxCount = 0;
        count = std::min(count, TransferState::kRxCapacity);
    }
    std::memcpy(state.rxBuffer.data() + state.rxCount, bytes, static_cast<std::size_t>(count));
    state.rxCount += count;

    while (state.rxCount > 0 && IsRunning()) {
        DropTagFrames();
        if (state.rxCount == 0) {
            return;
        }
        // The whole run first; failing that, an answer at its start that later bytes followed
        // in the same delivery (two answers, or an answer and noise, read together).
        Answer answer = JudgeAnswer(state.rxBuffer.data(), state.rxCount);
        int used = IsAccepted(answer) ? state.rxCount : 0;
        for (int length = kMinAnswerLength; used == 0 && length < state.rxCount; ++length) {
            answer = JudgeAnswer(state.rxBuffer.data(), length);
            used = IsAccepted(answer) ? length : 0;
        }
        if (used == 0) {
            return;  // keep the bytes and judge them again with the next ones
        }
        std::memmove(state.rxBuffer.data(), state.rxBuffer.data() + used,
                     static_cast<std::size_t>(state.rxCount - used));
        state.rxCount -= used;
        ActOnAnswer(answer);
    }
}

void UpgradeTransfer::DropTagFrames() {
    while (state.rxCount >= kTagFrameSize &&
           IsTagFrameAt(state.rxBuffer.data(), state.rxCount, 0)) {
        std::memmove(state.rxBuffer.data(), state.rxBuffer.data() + kTagFrameSize,
                     static_cast<std::size_t>(state.rxCount - kTagFrameSize));
        state.rxCount -= kTagFrameSize;
    }
}

void UpgradeTransfer::ActOnAnswer(const Answer& answer) {
    if (answer.kind == AnswerKind::Alternate) {
        state.probeAcked = true;
        return;
    }
    switch (answer.command) {
        case Byte(UpgradeCode::BaudRate):
            state.baudAcked = true;
            break;
        case Byte(UpgradeCode::Size):
            // Before the size frame went out (or once streaming), a size answer is stray: acting on
            // it would send image data early, at the wrong rate or out of turn.
            if (phase != TransferPhase::SizeAnnounced) {
                break;
            }
            timers.Stop(kAckTimer);
            if (!state.lastPacketSent) {
                timers.Pause(kFirstPacketPauseMs);
                SendNextPacket();
            }
            phase = TransferPhase::Streaming;
            timers.Arm(kAckTimer, kAckMs);
            break;
        case Byte(UpgradeCode::Data):
            if (phase != TransferPhase::Streaming && phase != TransferPhase::Ending) {
                break;
            }
            timers.Stop(kAckTimer);
            if (state.lastPacketSent) {
                Send(kEndFrame);
                phase = TransferPhase::Ending;
            } else {
                SendNextPacket();
                phase = TransferPhase::Streaming;
            }
            timers.Arm(kAckTimer, kAckMs);
            break;
        case Byte(UpgradeCode::End):
            // Only the end frame can be acknowledged as the end: taken earlier, it would report
            // an image that never finished as transferred.
            if (phase != TransferPhase::Ending) {
                break;
            }
            timers.Stop(kAckTimer);
            Finish({TransferError::None});
            break;
        case Byte(UpgradeCode::Probe):
            state.probeAcked = true;
            break;
        default:
            break;
    }
}

void UpgradeTransfer::Cancel() {
    if (!IsRunning()) {
        return;
    }
    Finish({TransferError::Cancelled, PortFault()});
}

SerialError UpgradeTransfer::PortFault() const {
    const SerialError fault = comm.LastError();
    return fault == SerialError::DeviceLost || fault == SerialError::WriteFailed
               ? fault
               : SerialError::None;
}

void UpgradeTransfer::Finish(const TransferEnd& end) {
    if (IsRunning()) {
        // After an ending nothing may move the transfer on, so every timer goes with it.
        timers.Stop(kProbeTimer);
        timers.Stop(kBaudTimer);
        timers.Stop(kAckTimer);
        comm.Close();
    }
    state.imageData.clear();
    state.imageData.shrink_to_fit();
    imageLoaded = false;
    state.rxCount = 0;
    phase = TransferPhase::Idle;
    openingPort = false;
    observer.Finished(end);
}

}  // namespace uhf
