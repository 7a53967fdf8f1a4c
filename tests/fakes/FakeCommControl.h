#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "serial/CommControl.h"

namespace uhf {

// A CommControl that records what the code under test does to the port and lets the test deliver
// received bytes. Single-threaded, like the real control's notifications.
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

    SerialError Open(const std::string& portName, int baudRate) override {
        opens.push_back({portName, baudRate});
        lastError = open ? SerialError::AlreadyOpen
                         : (openResult ? openResult(portName, baudRate) : SerialError::None);
        if (lastError == SerialError::None) {
            open = true;
            currentBaud = baudRate;
        }
        return lastError;
    }

    void Close() override {
        ++closes;
        open = false;
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

    // Hands `bytes` to the receive handler as one notification.
    void Deliver(const std::vector<std::uint8_t>& bytes) {
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
    ReceiveHandler handler;
};

}  // namespace uhf
