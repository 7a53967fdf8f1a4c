#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "serial/CommControl.h"

namespace uhf {

class SerialPort;

// The download tool's serial control over our own SerialPort, for every front end (the windows,
// ferrowin-cli). While a port is open, a receive thread reads it and keeps what arrived. `notice`
// tells the owner that something waits (from that thread, or from a Write), and the owner's
// event loop then calls ProcessPending, which writes the queued bytes and hands what arrived to
// the receive handler on the owner's thread, so notifications never run inside another call.
// Bytes written within one handler of the owner leave together, as they do from a toolkit's
// event loop. A port that fails while open (a USB adapter pulled, a reader's pseudo-terminal
// gone) is closed at the next ProcessPending and its loss recorded in LastError().
//
// An open runs on a thread of its own and is finished (or refused) by ProcessPending. An open
// asked for while an abandoned one is still in the driver starts when that one returns.
//
// Threads: every call but the notice runs on the owner's thread; the opening thread touches only
// the port's Open and the open's outcome (under `mutex`), and the port is the owner's again once
// that thread is joined; the receive thread touches only the port's Read and the arrival buffer
// (under `mutex`); a close wakes its read at once.
class NativeCommControl : public CommControl {
  public:
    using PendingNotice = std::function<void()>;

    // Bytes kept for the owner; more arriving before it takes them are dropped (the transfer
    // itself judges at most 256). Queued output this long is written at once.
    static constexpr std::size_t kArrivalCapacity = 4096;

    // `port` is this control's alone while it lives.
    NativeCommControl(SerialPort& port, PendingNotice notice);
    // Waits for an open still in the driver, then closes what it opened.
    ~NativeCommControl() override;
    NativeCommControl(const NativeCommControl&) = delete;
    NativeCommControl& operator=(const NativeCommControl&) = delete;

    void Open(const std::string& portName, int baudRate, OpenedHandler opened) override;
    void Close() override;
    bool IsOpen() const override { return open; }
    bool Write(const std::uint8_t* bytes, int count) override;
    void SetReceiveHandler(ReceiveHandler newHandler) override;
    SerialError LastError() const override { return lastError; }

    // On the owner's thread: finishes an open that returned (or closes it, when abandoned), writes
    // the bytes queued since the last call, hands every byte that arrived since then to the
    // receive handler in one notification, and closes a port that was found lost.
    void ProcessPending();

  protected:
    // Closes the port and waits for an open still in the driver: a subclass whose notice needs
    // its own members calls this from its destructor, so no thread notices into them once gone.
    void Shutdown();

  private:
    struct OpenRequest {
        std::string portName;
        int baudRate = 0;
        OpenedHandler opened;
    };

    void StartOpening(OpenRequest request);
    void FinishOpening();
    void ReceiveLoop();
    void StopReceiving();
    void WriteQueued();

    SerialPort& port;
    PendingNotice notice;
    ReceiveHandler handler;
    bool open = false;
    SerialError lastError = SerialError::None;
    std::vector<std::uint8_t> outgoing;

    std::thread opener;
    bool opening = false;  // `opener` runs, or has returned and is not joined yet
    bool abandoned = false;
    OpenedHandler opened;
    std::optional<OpenRequest> queued;           // asked for while an abandoned open runs
    std::vector<OpenedHandler> refused;          // refusals not told yet
    bool openReturned = false;                   // guarded by mutex
    SerialError openResult = SerialError::None;  // guarded by mutex

    std::thread receiver;
    std::atomic<bool> stopping{false};
    std::mutex mutex;
    std::vector<std::uint8_t> arrived;  // guarded by mutex
    bool lost = false;                  // guarded by mutex
    std::vector<std::uint8_t> delivering;
};

}  // namespace uhf
