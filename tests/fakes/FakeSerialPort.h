#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "serial/SerialPort.h"

namespace uhf::test {

// An in-memory serial port. Incoming bytes are queued in bursts: Push adds bytes to the last
// burst (they are in the port together), PushAfterGap starts a new one, as if more than the
// line's 50 ms passed before it; one Read never crosses from one burst into the next.
// A responder sees every write and returns the far end's answer: its first segment joins what
// the port holds, each further one comes after a gap. Purge drops the first burst (what the port
// holds now; later bursts have not arrived yet). Wake ends the read in progress, or the next one,
// at once; a held read (HoldReads) stands for a stuck driver and is not woken. Thread-safe, so
// that the receive thread and the test can use it at once.
class FakeSerialPort : public SerialPort {
  public:
    using Bytes = std::vector<std::uint8_t>;
    // Returns the segments that the far end sends in answer to one write.
    using Responder = std::function<std::vector<Bytes>(const Bytes& written)>;

    SerialError Open(const std::string& device, int baudRate) override {
        std::unique_lock<std::mutex> lock(mutex);
        ++openCalls;
        openHeld = holdOpens;
        changed.notify_all();
        changed.wait(lock, [this] { return !holdOpens; });
        openHeld = false;
        openedDevice = device;
        openedBaud = baudRate;
        open = openResult == SerialError::None;
        return openResult;
    }
    void Close() override {
        std::lock_guard<std::mutex> lock(mutex);
        ++closeCalls;
        open = false;
        changed.notify_all();
    }
    bool IsOpen() const override {
        std::lock_guard<std::mutex> lock(mutex);
        return open;
    }

    int Read(std::uint8_t* buffer, int count) override {
        std::unique_lock<std::mutex> lock(mutex);
        ++readCalls;
        if (!open || failReads) {
            return -1;
        }
        readInProgress = true;
        changed.notify_all();
        changed.wait_for(lock, emptyReadWait, [this] {
            return !incoming.empty() || !open || releaseHeldReads || wakePending;
        });
        changed.wait(lock, [this] { return !holdReads || releaseHeldReads; });
        readInProgress = false;
        if (!open) {
            return -1;
        }
        if (wakePending) {
            wakePending = false;
            ++wokenReads;
            return 0;
        }
        if (incoming.empty()) {
            return 0;
        }
        Bytes& front = incoming.front();
        const int n = std::min<int>(count, static_cast<int>(front.size()));
        std::copy_n(front.begin(), n, buffer);
        front.erase(front.begin(), front.begin() + n);
        if (front.empty()) {
            incoming.pop_front();
        }
        bytesRead += n;
        return n;
    }

    int Write(const std::uint8_t* bytes, int count) override {
        Responder answer;
        Bytes written(bytes, bytes + count);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!open || failWrites) {
                return -1;
            }
            if (writeLimit >= 0 && count > writeLimit) {
                written.resize(static_cast<std::size_t>(writeLimit));
            }
            writes.push_back(written);
            answer = responder;
        }
        if (answer && static_cast<int>(written.size()) == count) {
            bool first = true;
            for (Bytes& segment : answer(written)) {
                if (first) {
                    Push(std::move(segment));
                } else {
                    PushAfterGap(std::move(segment));
                }
                first = false;
            }
        }
        return static_cast<int>(written.size());
    }

    void Purge() override {
        std::lock_guard<std::mutex> lock(mutex);
        ++purges;
        if (!incoming.empty()) {
            incoming.pop_front();
        }
    }
    void Wake() override {
        std::lock_guard<std::mutex> lock(mutex);
        wakePending = true;
        changed.notify_all();
    }
    void ClearWake() override {
        std::lock_guard<std::mutex> lock(mutex);
        wakePending = false;
    }

    // Test side.
    void Push(const Bytes& bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        if (incoming.empty()) {
            incoming.emplace_back();
        }
        incoming.back().insert(incoming.back().end(), bytes.begin(), bytes.end());
        changed.notify_all();
    }
    void PushAfterGap(Bytes bytes) {
        std::lock_guard<std::mutex> lock(mutex);
        incoming.push_back(std::move(bytes));
        changed.notify_all();
    }
    void SetResponder(Responder r) {
        std::lock_guard<std::mutex> lock(mutex);
        responder = std::move(r);
    }
    std::vector<Bytes> Writes() const {
        std::lock_guard<std::mutex> lock(mutex);
        return writes;
    }
    void ClearWrites() {
        std::lock_guard<std::mutex> lock(mutex);
        writes.clear();
    }
    std::size_t PendingSegments() const {
        std::lock_guard<std::mutex> lock(mutex);
        return incoming.size();
    }
    int ReadCalls() const {
        std::lock_guard<std::mutex> lock(mutex);
        return readCalls;
    }
    int Purges() const {
        std::lock_guard<std::mutex> lock(mutex);
        return purges;
    }
    int CloseCalls() const {
        std::lock_guard<std::mutex> lock(mutex);
        return closeCalls;
    }
    int WokenReads() const {
        std::lock_guard<std::mutex> lock(mutex);
        return wokenReads;
    }
    // Makes reads block (holding whatever lock the reader holds) until ReleaseReads.
    void HoldReads() {
        std::lock_guard<std::mutex> lock(mutex);
        holdReads = true;
        releaseHeldReads = false;
    }
    void ReleaseReads() {
        std::lock_guard<std::mutex> lock(mutex);
        holdReads = false;
        releaseHeldReads = true;
        changed.notify_all();
    }
    // Makes opens block until ReleaseOpens, as the driver of an outgoing Bluetooth link does.
    void HoldOpens() {
        std::lock_guard<std::mutex> lock(mutex);
        holdOpens = true;
    }
    void ReleaseOpens() {
        std::lock_guard<std::mutex> lock(mutex);
        holdOpens = false;
        changed.notify_all();
    }
    bool WaitUntilOpenHeld(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [this] { return openHeld; });
    }
    bool WaitUntilReading(std::chrono::milliseconds limit) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, limit, [this] { return readInProgress; });
    }
    void SetFailReads(bool fail) {
        std::lock_guard<std::mutex> lock(mutex);
        failReads = fail;
    }
    // Writes fail as on a device that went away.
    void SetFailWrites(bool fail) {
        std::lock_guard<std::mutex> lock(mutex);
        failWrites = fail;
    }
    void SetWriteLimit(int limit) {
        std::lock_guard<std::mutex> lock(mutex);
        writeLimit = limit;
    }
    // How long a read waits for bytes when none are queued (a stand-in for the line time-out).
    void SetEmptyReadWait(std::chrono::milliseconds wait) {
        std::lock_guard<std::mutex> lock(mutex);
        emptyReadWait = wait;
    }

    SerialError openResult = SerialError::None;
    std::string openedDevice;
    int openedBaud = 0;
    int openCalls = 0;

  private:
    mutable std::mutex mutex;
    std::condition_variable changed;
    bool open = false;
    bool failReads = false;
    bool failWrites = false;
    bool holdReads = false;
    bool holdOpens = false;
    bool openHeld = false;
    bool releaseHeldReads = false;
    bool readInProgress = false;
    bool wakePending = false;
    int purges = 0;
    int closeCalls = 0;
    int wokenReads = 0;
    int writeLimit = -1;
    int readCalls = 0;
    long bytesRead = 0;
    std::chrono::milliseconds emptyReadWait{0};
    std::deque<Bytes> incoming;
    std::vector<Bytes> writes;
    Responder responder;
};

}  // namespace uhf::test
