#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "serial/CommControl.h"

namespace uhf {

// A CommControl that records what the code under test does to the port and lets the test finish
// opens and deliver received bytes. Single-threaded, like the real control's notifications.
class FakeCommControl : public CommControl {
  public:
    struct OpenRecord {
        std::string portName;
        int baudRate = 0;
    };
    struct WriteRecord {
        int baudRate = 0;  // what the port was opened at when the bytes left
        std::vector<std::uint8_t> bytes;
    };

    // Records the open; it finishes at FinishOpen, or before the next delivery.
    void Open(const std::string& portName, int baudRate, OpenedHandler whenOpened) override {
        opens.push_back({portName, baudRate});
        pendingOpen = {portName, baudRate, std::move(whenOpened)};
    }

    // Finishes the open under way as the real control does from its owner's event loop: the
    // port opens or not as openResult decides, and the opener hears which. False when none is
    // under way.
    bool FinishOpen() {
        if (!pendingOpen) {
            return false;
        }
        PendingOpen finishing = std::move(*pendingOpen);
        pendingOpen.reset();
        lastError = open ? SerialError::AlreadyOpen
                         : (openResult ? openResult(finishing.portName, finishing.baudRate)
                                       : SerialError::None);
        if (lastError == SerialError::None) {
            open = true;
            currentBaud = finishing.baudRate;
        }
        if (finishing.opened) {
            finishing.opened(lastError);
        }
        return true;
    }

    bool IsOpening() const { return pendingOpen.has_value(); }

    void Close() override {
        ++closes;
        open = false;
        pendingOpen.reset();
    }

    bool IsOpen() const override { return open; }

    bool Write(const std::uint8_t* bytes, int count) override {
        if (!open || lost) {
            lastError = open ? SerialError::DeviceLost : SerialError::NotOpen;
            return false;
        }
        writes.push_back({currentBaud, std::vector<std::uint8_t>(bytes, bytes + count)});
        if (onWrite) {
            onWrite(writes.back().bytes);
        }
        return true;
    }

    void SetReceiveHandler(ReceiveHandler newHandler) override { handler = std::move(newHandler); }

    SerialError LastError() const override { return lastError; }

    // Hands `bytes` to the receive handler as one notification, after the open under way.
    void Deliver(const std::vector<std::uint8_t>& bytes) {
        FinishOpen();
        if (handler && !bytes.empty()) {
            handler(bytes.data(), static_cast<int>(bytes.size()));
        }
    }

    bool HasHandler() const { return static_cast<bool>(handler); }

    // The device goes away while open: the loss is recorded, as a real control records it, and
    // every write fails from now on.
    void LoseDevice() {
        lost = true;
        lastError = SerialError::DeviceLost;
    }

    // Decides each open: SerialError::None opens the port.
    std::function<SerialError(const std::string& portName, int baudRate)> openResult;
    // Sees every byte run that was written, after it is recorded.
    std::function<void(const std::vector<std::uint8_t>&)> onWrite;

    std::vector<OpenRecord> opens;
    std::vector<WriteRecord> writes;
    int closes = 0;
    bool open = false;
    bool lost = false;
    int currentBaud = 0;
    SerialError lastError = SerialError::None;

  private:
    struct PendingOpen {
        std::string portName;
        int baudRate = 0;
        OpenedHandler opened;
    };

    ReceiveHandler handler;
    std::optional<PendingOpen> pendingOpen;
};

}  // namespace uhf
