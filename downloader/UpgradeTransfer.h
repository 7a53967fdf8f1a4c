#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "downloader/TransferHost.h"
#include "protocol/UpgradeFrames.h"
#include "serial/CommControl.h"

namespace uhf {

// Why the last attempt ended without success.
enum class TransferError {
    None,
    NoFirmware,          // path shorter than 2 characters
    NoBaudRate,          // a baud-rate choice without a selection
    FirmwareUnreadable,  // missing, unreadable or truncated file
    FirmwareTooLong,     // over 65535 bytes
    PortAlreadyOpen,
    PortOpenFailed,  // absent or busy port, at the start or at a baud-rate change
    NoProbeAnswer,
    NoBaudAnswer,
    NoAcknowledgement,  // a data or end frame not acknowledged within 1000 ms
    Cancelled,
};

const char* ToString(TransferError error);

enum class TransferPhase { Idle, Probing, BaudChange, SizeAnnounced, Streaming, Ending };

// The firmware upgrade of the download tool: probing at the reader's working rate, the baud-rate
// change at 9600, the size announcement, stop-and-wait streaming of 64-byte data frames and the
// end frame. Moved on only by StartDownload, HandleTimer and HandleCommEvent, all on the host's
// thread; it never sleeps except through the host's one 100 ms Pause.
//
// The constructor binds HandleCommEvent to the control's receive notification and the destructor
// unbinds it; the host must call HandleTimer(id) when a timer it armed expires.
class UpgradeTransfer {
  public:
    static constexpr int kProbeTimer = 0;
    static constexpr int kBaudTimer = 1;
    static constexpr int kAckTimer = 2;
    static constexpr int kProbeMs = 500;
    static constexpr int kBaudMs = 300;
    static constexpr int kAckMs = 1000;
    static constexpr int kFirstPacketPauseMs = 100;
    static constexpr int kRxCapacity = 256;
    static constexpr int kMaxRetries = 5;

    UpgradeTransfer(CommControl& comm, TransferHost& host);
    ~UpgradeTransfer();
    UpgradeTransfer(const UpgradeTransfer&) = delete;
    UpgradeTransfer& operator=(const UpgradeTransfer&) = delete;

    // The "Download" button.
    void StartDownload();
    // A one-shot timer of the host expired.
    void HandleTimer(int id);
    // Bytes received since the last notification.
    void HandleCommEvent(const std::uint8_t* bytes, int count);

    // Ends an attempt in progress at once: timers stopped, port closed, image freed, inputs
    // enabled. Nothing happens when idle.
    void Cancel();

    // Hands `count` bytes to the control. 1 when handed over, 0 without sending when the port is
    // not open or the write fails.
    int SendBytes(const std::uint8_t* bytes, int count);
    // Opens the chosen port at `baudRate`. 1 when opened; 0 when it was already open (message box
    // "端口已经打开") or could not be opened (reason in OpenError()).
    int OpenPort(int baudRate);
    void SendProbe();
    void SendAltProbe();
    void SendEnd();
    void SendBaudCommand();
    void SendImageSize();
    void SendNextPacket();

    TransferPhase Phase() const { return phase; }
    bool IsRunning() const { return phase != TransferPhase::Idle; }
    bool Succeeded() const { return succeeded; }
    TransferError LastError() const { return lastError; }
    CommError OpenError() const { return openError; }

    // Transfer state.
    std::array<std::uint8_t, kRxCapacity> rxBuffer{};
    std::int32_t rxCount = 0;
    bool probeAcked = false;
    bool baudAcked = false;
    bool lastPacketSent = false;
    std::int32_t retryCount = 0;
    std::vector<std::uint8_t> imageData;
    std::uint16_t imageLength = 0;
    int packetCount = 0;
    int nextPacket = 0;
    std::array<std::uint8_t, kMaxPacketSize> packetBuffer{};

    std::string firmwarePath;
    TransferSelections selections;

  private:
    void HandleProbeTimer();
    void HandleBaudTimer();
    void HandleAckTimer();
    void ActOnAnswer(const Answer& answer);
    // Ends the attempt: every timer stopped, port closed, image freed, inputs enabled.
    void Finish(TransferError error);
    void FailOpen(TransferError error);

    CommControl& comm;
    TransferHost& host;
    TransferPhase phase = TransferPhase::Idle;
    TransferError lastError = TransferError::None;
    CommError openError = CommError::None;
    bool succeeded = false;
    bool imageLoaded = false;
};

}  // namespace uhf
