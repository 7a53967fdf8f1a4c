#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "serial/Win32Comm.h"

namespace uhf::test {

// A serial driver behind the Win32 calls that behaves as the WDK's serial driver documents, with
// buffered I/O:
// - ReadFile returns at once when the queue holds all it asks for (or, with the read time-outs
//   MAXDWORD, 0, 0, whatever is there). Otherwise the request takes what is queued into its own
//   buffer, as do the bytes that arrive next, and stays pending until it is full or its total
//   time-out ends it with what it took (the interval time-out is not modelled). Cancelled
//   (CancelIoEx, PurgeComm with PURGE_RXABORT, CloseHandle), it completes with
//   ERROR_OPERATION_ABORTED and 0 bytes transferred: the bytes it had taken are lost (LostBytes).
// - WaitCommEvent completes at once when an event of the mask came since the last wait completed
//   (the driver's history), else with the next one; SetCommMask clears the history and completes
//   a pending wait with no events; a second wait while one is pending, or a wait with no mask, is
//   ERROR_INVALID_PARAMETER. Cancelling a wait loses nothing.
// - SetupComm is taken but the buffer stays the driver's own (as USB-serial drivers do), and
//   SetCommState refuses (ERROR_INVALID_PARAMETER) an XonLim or XoffLim above that buffer's size.
// - ClearCommError tells how many bytes the queue holds; writes are kept (Written).
// A completion fills the OVERLAPPED as the system does (status, bytes) and sets its event.
// Deliver is the line: it may be called from any thread.
class FakeCommDriver : public Win32Comm {
  public:
    struct Driver {
        DWORD bufferSize = 4096;
        // What GetCommState reports before the first SetCommState.
        WORD xonLim = 2048;
        WORD xoffLim = 512;
    };

    static constexpr ULONG_PTR kStatusPending = STATUS_PENDING;
    static constexpr ULONG_PTR kStatusCancelled = 0xC0000120;  // STATUS_CANCELLED
    static constexpr ULONG_PTR kStatusInvalid = 0xC000000D;    // STATUS_INVALID_PARAMETER

    FakeCommDriver() : FakeCommDriver(Driver{}) {}
    explicit FakeCommDriver(Driver driver)
        : driver_(driver), timer_([this] { EndTimedOutReads(); }) {
        dcb_.DCBlength = sizeof dcb_;
        dcb_.BaudRate = CBR_9600;
        dcb_.ByteSize = 7;
        dcb_.Parity = EVENPARITY;
        dcb_.StopBits = TWOSTOPBITS;
        dcb_.fOutxCtsFlow = 1;
        dcb_.fOutX = 1;
        dcb_.fInX = 1;
        dcb_.fDtrControl = DTR_CONTROL_HANDSHAKE;
        dcb_.fRtsControl = RTS_CONTROL_HANDSHAKE;
        dcb_.fAbortOnError = 1;
        dcb_.XonLim = driver.xonLim;
        dcb_.XoffLim = driver.xoffLim;
        dcb_.XonChar = 0x11;
        dcb_.XoffChar = 0x13;
        dcb_.ErrorChar = 0x3F;
        dcb_.EofChar = 0x1A;
    }
    ~FakeCommDriver() override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        timer_.join();
    }
    FakeCommDriver(const FakeCommDriver&) = delete;
    FakeCommDriver& operator=(const FakeCommDriver&) = delete;

    // --- The line and what the test looks at ---

    // Bytes received from the line: into the pending read first, then the queue (beyond the
    // buffer's size they are lost, as in an overrun); EV_RXCHAR.
    void Deliver(const std::vector<std::uint8_t>& bytes) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const std::uint8_t byte : bytes) {
            if (read_.overlapped != nullptr) {
                read_.taken.push_back(byte);
                if (read_.taken.size() == read_.wanted) {
                    std::memcpy(read_.buffer, read_.taken.data(), read_.taken.size());
                    Complete(read_.overlapped, 0, read_.wanted);
                    read_ = {};
                }
            } else if (queue_.size() < driver_.bufferSize) {
                queue_.push_back(byte);
            } else {
                ++lost_;
            }
        }
        if (!bytes.empty()) {
            Signal(EV_RXCHAR);
        }
    }

    // Waits until a ReadFile or a WaitCommEvent is pending (the port waits for the line); false
    // after `limit`.
    bool WaitUntilPending(std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, limit, [this] {
            return read_.overlapped != nullptr || wait_.overlapped != nullptr;
        });
    }

    std::size_t LostBytes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lost_;
    }
    std::size_t Queued() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return queue_.size();
    }
    DCB State() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return dcb_;
    }
    COMMTIMEOUTS Timeouts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return timeouts_;
    }
    DWORD EventMask() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return mask_;
    }
    std::string OpenedName() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return openedName_;
    }
    DWORD OpenFlags() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return openFlags_;
    }
    bool IsOpen() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return open_;
    }
    std::vector<std::uint8_t> Written() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return written_;
    }

    // --- The Win32 calls ---

    HANDLE CreateFileA(LPCSTR name, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD flags,
                       HANDLE) override {
        std::lock_guard<std::mutex> lock(mutex_);
        openedName_ = name;
        openFlags_ = flags;
        open_ = true;
        return Device();
    }
    BOOL CloseHandle(HANDLE device) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        CancelRead();
        CancelWait();
        open_ = false;
        return TRUE;
    }
    BOOL SetupComm(HANDLE device, DWORD, DWORD) override { return Known(device); }
    BOOL GetCommState(HANDLE device, LPDCB dcb) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        *dcb = dcb_;
        return TRUE;
    }
    BOOL SetCommState(HANDLE device, LPDCB dcb) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        if (dcb->XonLim > driver_.bufferSize || dcb->XoffLim > driver_.bufferSize) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        dcb_ = *dcb;
        return TRUE;
    }
    BOOL SetCommTimeouts(HANDLE device, LPCOMMTIMEOUTS timeouts) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        timeouts_ = *timeouts;
        return TRUE;
    }
    BOOL SetCommMask(HANDLE device, DWORD mask) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        mask_ = mask;
        history_ = 0;
        if (wait_.overlapped != nullptr) {
            *wait_.events = 0;
            Complete(wait_.overlapped, 0, sizeof(DWORD));
            wait_ = {};
        }
        return TRUE;
    }
    BOOL WaitCommEvent(HANDLE device, LPDWORD events, LPOVERLAPPED overlapped) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        ResetEvent(overlapped->hEvent);
        if (mask_ == 0 || wait_.overlapped != nullptr) {
            *events = 0;
            Complete(overlapped, kStatusInvalid, 0);
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if ((history_ & mask_) != 0) {
            *events = history_ & mask_;
            history_ = 0;
            Complete(overlapped, 0, sizeof(DWORD));
            return TRUE;
        }
        wait_ = {overlapped, events};
        return Pend(overlapped);
    }
    BOOL ClearCommError(HANDLE device, LPDWORD errors, LPCOMSTAT status) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        if (errors != nullptr) {
            *errors = 0;
        }
        if (status != nullptr) {
            *status = COMSTAT{};
            status->cbInQue = static_cast<DWORD>(queue_.size());
        }
        return TRUE;
    }
    BOOL PurgeComm(HANDLE device, DWORD flags) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        if ((flags & PURGE_RXABORT) != 0) {
            CancelRead();
        }
        if ((flags & PURGE_RXCLEAR) != 0) {
            queue_.clear();
        }
        return TRUE;
    }
    BOOL ReadFile(HANDLE device, LPVOID buffer, DWORD count, LPDWORD done,
                  LPOVERLAPPED overlapped) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        ResetEvent(overlapped->hEvent);
        const bool returnAtOnce = timeouts_.ReadIntervalTimeout == MAXDWORD &&
                                  timeouts_.ReadTotalTimeoutMultiplier == 0 &&
                                  timeouts_.ReadTotalTimeoutConstant == 0;
        if (queue_.size() >= count || returnAtOnce) {
            const DWORD n = std::min(count, static_cast<DWORD>(queue_.size()));
            std::copy_n(queue_.begin(), n, static_cast<std::uint8_t*>(buffer));
            queue_.erase(queue_.begin(), queue_.begin() + n);
            Complete(overlapped, 0, n);
            if (done != nullptr) {
                *done = n;
            }
            return TRUE;
        }
        read_.overlapped = overlapped;
        read_.buffer = static_cast<std::uint8_t*>(buffer);
        read_.wanted = count;
        read_.taken.assign(queue_.begin(), queue_.end());
        queue_.clear();
        const DWORD totalMs =
            timeouts_.ReadTotalTimeoutMultiplier * count + timeouts_.ReadTotalTimeoutConstant;
        if (totalMs != 0) {
            read_.deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(totalMs);
        }
        return Pend(overlapped);
    }
    BOOL WriteFile(HANDLE device, LPCVOID bytes, DWORD count, LPDWORD done,
                   LPOVERLAPPED overlapped) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        const auto* first = static_cast<const std::uint8_t*>(bytes);
        written_.insert(written_.end(), first, first + count);
        ResetEvent(overlapped->hEvent);
        Complete(overlapped, 0, count);
        if (done != nullptr) {
            *done = count;
        }
        return TRUE;
    }
    BOOL GetOverlappedResult(HANDLE device, LPOVERLAPPED overlapped, LPDWORD done,
                             BOOL wait) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        if (overlapped->Internal == kStatusPending) {
            if (!wait) {
                SetLastError(ERROR_IO_INCOMPLETE);
                return FALSE;
            }
            changed_.wait(lock, [overlapped] { return overlapped->Internal != kStatusPending; });
        }
        *done = static_cast<DWORD>(overlapped->InternalHigh);
        switch (overlapped->Internal) {
            case 0:
                return TRUE;
            case kStatusCancelled:
                SetLastError(ERROR_OPERATION_ABORTED);
                return FALSE;
            default:
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
        }
    }
    BOOL CancelIoEx(HANDLE device, LPOVERLAPPED overlapped) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!Mine(device)) {
            return FALSE;
        }
        bool found = false;
        if (read_.overlapped != nullptr &&
            (overlapped == nullptr || overlapped == read_.overlapped)) {
            CancelRead();
            found = true;
        }
        if (wait_.overlapped != nullptr &&
            (overlapped == nullptr || overlapped == wait_.overlapped)) {
            CancelWait();
            found = true;
        }
        if (!found) {
            SetLastError(ERROR_NOT_FOUND);
        }
        return found ? TRUE : FALSE;
    }

  private:
    struct PendingRead {
        LPOVERLAPPED overlapped = nullptr;
        std::uint8_t* buffer = nullptr;
        DWORD wanted = 0;
        std::vector<std::uint8_t> taken;  // the request's own buffer
        std::chrono::steady_clock::time_point deadline =
            std::chrono::steady_clock::time_point::max();
    };
    struct PendingWait {
        LPOVERLAPPED overlapped = nullptr;
        LPDWORD events = nullptr;
    };

    static HANDLE Device() { return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x5E1A)); }
    bool Mine(HANDLE device) {
        if (device == Device() && open_) {
            return true;
        }
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    BOOL Known(HANDLE device) {
        std::lock_guard<std::mutex> lock(mutex_);
        return Mine(device) ? TRUE : FALSE;
    }
    BOOL Pend(LPOVERLAPPED overlapped) {
        overlapped->Internal = kStatusPending;
        overlapped->InternalHigh = 0;
        changed_.notify_all();
        SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    void Complete(LPOVERLAPPED overlapped, ULONG_PTR status, DWORD bytes) {
        overlapped->InternalHigh = bytes;
        overlapped->Internal = status;
        SetEvent(overlapped->hEvent);
        changed_.notify_all();
    }
    void Signal(DWORD event) {
        if ((mask_ & event) == 0) {
            return;
        }
        if (wait_.overlapped != nullptr) {
            *wait_.events = event;
            Complete(wait_.overlapped, 0, sizeof(DWORD));
            wait_ = {};
        } else {
            history_ |= event;
        }
    }
    void CancelRead() {
        if (read_.overlapped != nullptr) {
            lost_ += read_.taken.size();
            Complete(read_.overlapped, kStatusCancelled, 0);
            read_ = {};
        }
    }
    // The timer's thread: a read whose total time-out has passed ends with what it took.
    void EndTimedOutReads() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopping_) {
            if (read_.overlapped == nullptr ||
                read_.deadline == std::chrono::steady_clock::time_point::max()) {
                changed_.wait(lock);
            } else if (std::chrono::steady_clock::now() < read_.deadline) {
                changed_.wait_until(lock, read_.deadline);
            } else {
                std::copy(read_.taken.begin(), read_.taken.end(), read_.buffer);
                Complete(read_.overlapped, 0, static_cast<DWORD>(read_.taken.size()));
                read_ = {};
            }
        }
    }
    void CancelWait() {
        if (wait_.overlapped != nullptr) {
            *wait_.events = 0;
            Complete(wait_.overlapped, kStatusCancelled, 0);
            wait_ = {};
        }
    }

    const Driver driver_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    std::string openedName_;
    DWORD openFlags_ = 0;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    DWORD mask_ = 0;
    DWORD history_ = 0;
    std::deque<std::uint8_t> queue_;
    std::vector<std::uint8_t> written_;
    std::size_t lost_ = 0;
    PendingRead read_;
    PendingWait wait_;
    bool stopping_ = false;
    std::thread timer_;  // last: it starts once the rest is there
};

}  // namespace uhf::test
