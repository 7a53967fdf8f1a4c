#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "protocol/UpgradeFrames.h"
#include "serial/CommControl.h"
#include "upgrade/TransferObserver.h"
#include "upgrade/TransferTimers.h"

namespace uhf {

// The user's choices for one attempt, as the window (or the command line) holds them when the
// download starts.
struct TransferSelections {
    std::string portName;  // what the port is opened by: "/dev/ttyUSB0", "COM3"
    int deviceBaud = 0;    // the reader's working rate, e.g. 115200; 0 when none is chosen
    int downloadBaud = 0;  // the rate the image travels at, one of kBaudRates; 0 when none
};

enum class TransferPhase { Idle, Probing, BaudChange, SizeAnnounced, Streaming, Ending };

// The transfer's own state, readable by tests and diagnostics, changed only by the transfer.
struct TransferState {
    static constexpr int kRxCapacity = 256;

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
    TransferSelections selections;
};

// The firmware upgrade of the download tool: probing at the reader's working rate, the baud-rate
// change at 9600, the size announcement, stop-and-wait streaming of 64-byte data frames and the
// end frame. Moved on only by StartDownload, the timers' expiries and the control's
// notifications, all on the host's thread; it never sleeps except through the one 100 ms Pause,
// and never waits for a port to open: each phase that opens one begins when the control says it
// is open.
//
// The constructor binds the control's receive notification and the timers' expiries to the
// transfer, and the destructor unbinds them; the observer hears the steps, the progress and the
// end of each attempt, as codes for the host to word.
class UpgradeTransfer {
  public:
    static constexpr int kProbeTimer = 0;
    static constexpr int kBaudTimer = 1;
    static constexpr int kAckTimer = 2;
    static constexpr int kProbeMs = kProbeAnswerMs;
    static constexpr int kBaudMs = kBaudAnswerMs;
    static constexpr int kAckMs = 1000;
    static constexpr int kFirstPacketPauseMs = kFirstDataPauseMs;
    static constexpr int kMaxRetries = 5;

    UpgradeTransfer(CommControl& comm, TransferTimers& timers, TransferObserver& observer);
    ~UpgradeTransfer();
    UpgradeTransfer(const UpgradeTransfer&) = delete;
    UpgradeTransfer& operator=(const UpgradeTransfer&) = delete;

    // Starts an attempt with the image at `firmwarePath`; ignored while one runs. The image is
    // read whole before the port opens, and a file that cannot be an image is refused then.
    void StartDownload(const std::string& firmwarePath, const TransferSelections& selections);

    // Ends an attempt in progress at once: timers stopped, port closed, image freed. Nothing
    // happens when idle.
    void Cancel();

    // Asked before each step that a start or a timer takes (the port opened and the probes sent,
    // probes again, the baud-rate change, the size announcement): true cancels the attempt
    // instead, so that nothing more reaches the reader after the host's stop request.
    void SetStopCheck(std::function<bool()> stopRequested) { stopCheck = std::move(stopRequested); }

    TransferPhase Phase() const { return phase; }
    bool IsRunning() const { return phase != TransferPhase::Idle; }
    // True while the phase waits for its port to open; nothing is sent or timed meanwhile.
    bool IsOpeningPort() const { return openingPort; }
    const TransferState& State() const { return state; }

  private:
    void HandleTimer(int id);
    void HandleCommEvent(const std::uint8_t* bytes, int count);
    void HandleProbeTimer();
    void HandleBaudTimer();
    void HandleAckTimer();
    // Enters `next` and opens the port at `baudRate` for it; the phase's first step follows in
    // PortOpened.
    void OpenPortFor(TransferPhase next, int baudRate);
    // The port of the phase opened, or would not: sends the phase's first frames, or ends the
    // attempt.
    void PortOpened(SerialError error);
    // Counts an expiry without an answer; true, with the attempt ended as `error`, once more
    // than kMaxRetries have passed.
    bool RetriesSpent(TransferError error);
    void ActOnAnswer(const Answer& answer);
    // Drops whole tag frames from the head of the receive buffer: a reader that is reporting tags
    // sends them between its answers, and none of them is an upgrade answer.
    void DropTagFrames();

    // Hands `frame` to the control when the port is open; a failed write is the control's to
    // record (PortFault).
    void Send(std::span<const std::uint8_t> frame);
    void SendBaudCommand();
    void SendImageSize();
    void SendNextPacket();

    // What the control recorded of a port that failed while open (a vanished device, a write
    // that failed); None otherwise.
    SerialError PortFault() const;
    // Ends the attempt: every timer stopped, port closed, image freed, the observer told.
    void Finish(const TransferEnd& end);

    CommControl& comm;
    TransferTimers& timers;
    TransferObserver& observer;
    TransferState state;
    TransferPhase phase = TransferPhase::Idle;
    bool openingPort = false;
    bool imageLoaded = false;
    std::function<bool()> stopCheck;
};

}  // namespace uhf
