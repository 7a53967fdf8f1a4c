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
        std::string settings;
    };
    struct WriteRecord {
        std::string settings;  // what the port was opened with when the bytes left
        std::vector<std::uint8_t> bytes;
    };

    int Open(const std::string& portName, const std::string& settings) override {
        opens.push_back({portName, settings});
        if (open) {
            lastError = CommError::AlreadyOpen;
            return 0;
        }
        const CommError result = openResult ? openResult(portName, settings) : CommError::None;
        if (result != CommError::None) {
            lastError = result;
            return 0;
        }
        open = true;
        currentSettings = settings;
        lastError = CommError::None;
        return 1;
    }

    void Close() override {
        ++closes;
        open = false;
    }

    bool IsOpen() const override { return open; }

    int Write(const std::uint8_t* bytes, int count) override {
        if (!open) {
            lastError = CommError::NotOpen;
            return 0;
        }
        if (lost) {
            lastError = CommError::DeviceLost;
            return 0;
        }
        writes.push_back({currentSettings, std::vector<std::uint8_t>(bytes, bytes + count)});
        if (onWrite) {
            onWrite(writes.back().bytes);
        }
        return 1;
    }

    void SetReceiveHandler(ReceiveHandler newHandler) override { handler = std::move(newHandler); }

    CommError LastError() const override { return lastError; }
    std::string LastErrorText() const override { return {}; }

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
        lastError = CommError::DeviceLost;
    }

    // Decides each open: CommError::None opens the port.
    std::function<CommError(const std::string& portName, const std::string& settings)> openResult;
    // Sees every byte run that was written, after it is recorded.
    std::function<void(const std::vector<std::uint8_t>&)> onWrite;

    std::vector<OpenRecord> opens;
    std::vector<WriteRecord> writes;
    int closes = 0;
    bool open = false;
    bool lost = false;
    std::string currentSettings;
    CommError lastError = CommError::None;

  private:
    ReceiveHandler handler;
};

}  // namespace uhf
