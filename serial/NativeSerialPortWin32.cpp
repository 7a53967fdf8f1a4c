#include <windows.h>

#include <algorithm>
#include <chrono>

#include "serial/ComDeviceName.h"
#include "serial/NativeSerialPort.h"
#include "serial/Win32Comm.h"

namespace uhf {

// The port is opened for overlapped I/O so that a wait can be cancelled: Read waits for the
// driver's EV_RXCHAR or for `wake`, which Wake sets from any thread. Only the wait is ever
// cancelled, never a ReadFile: a cancelled read completes with nothing transferred, and the bytes
// the driver had already taken into it are lost.
struct NativeSerialPort::Handle {
    explicit Handle(Win32Comm& calls) : comm(calls) {}

    enum class Wait { Done, Woken, Failed };  // Done: worth a look at the queue

    // Takes what the driver holds, up to `room` bytes; -1 when the device failed.
    int TakeQueued(std::uint8_t* into, int room);
    // Waits until a byte comes, `deadline` passes or a wake.
    Wait WaitForBytes(std::chrono::steady_clock::time_point deadline);

    Win32Comm& comm;
    HANDLE port = INVALID_HANDLE_VALUE;
    HANDLE wake = nullptr;     // auto-reset: one wait takes one wake
    HANDLE reading = nullptr;  // manual-reset, the OVERLAPPED event of Read's calls
    DWORD idleMs = 0;          // the pause after a wait that ended with no event
    // The comm-event wait's request and mask live as long as the port, not on Read's stack: a
    // driver that writes the mask after a cancelled wait was collected then writes into these,
    // not into the frame of whatever call the thread has made since.
    OVERLAPPED waiting{};
    DWORD events = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kQueueSize = 4096;
constexpr DWORD kMostIdleMs = 16;

SerialError ErrorFromOpen(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return SerialError::NoSuchDevice;
        case ERROR_ACCESS_DENIED:
            // A COM port that another program holds answers "access denied".
            return SerialError::Busy;
        case ERROR_SHARING_VIOLATION:
            return SerialError::Busy;
        default:
            return SerialError::IoError;
    }
}

// Whole milliseconds until `deadline`, rounded up; 0 once it has passed.
DWORD MillisecondsUntil(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    return static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

}  // namespace

int NativeSerialPort::Handle::TakeQueued(std::uint8_t* into, int room) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!comm.ClearCommError(port, &errors, &status)) {
        return -1;
    }
    const DWORD want = std::min(status.cbInQue, static_cast<DWORD>(room));
    if (want == 0) {
        return 0;
    }
    // The driver holds these bytes, so the read ends at once whatever its time-outs.
    OVERLAPPED overlapped{};
    overlapped.hEvent = reading;
    DWORD got = 0;
    if (!comm.ReadFile(port, into, want, nullptr, &overlapped) &&
        GetLastError() != ERROR_IO_PENDING) {
        return -1;
    }
    if (!comm.GetOverlappedResult(port, &overlapped, &got, TRUE) && got == 0 &&
        GetLastError() != ERROR_TIMEOUT) {  // Wine's word for a read its time-outs ended
        return -1;
    }
    return static_cast<int>(got);
}

NativeSerialPort::Handle::Wait NativeSerialPort::Handle::WaitForBytes(Clock::time_point deadline) {
    waiting = OVERLAPPED{};
    waiting.hEvent = reading;
    events = 0;
    DWORD which = WAIT_OBJECT_0;  // a wait that ends at once: an event the driver kept
    if (!comm.WaitCommEvent(port, &events, &waiting)) {
        if (GetLastError() != ERROR_IO_PENDING) {
            return Wait::Failed;
        }
        const HANDLE handles[2] = {reading, wake};
        which = WaitForMultipleObjects(wake != nullptr ? 2 : 1, handles, FALSE,
                                       MillisecondsUntil(deadline));
        if (which != WAIT_OBJECT_0) {
            // Cancelling a wait loses nothing: the bytes stay in the driver's queue.
            comm.CancelIoEx(port, &waiting);
        }
        // The wait must have ended before the next one reuses the request.
        DWORD ignored = 0;
        (void)comm.GetOverlappedResult(port, &waiting, &ignored, TRUE);
    }
    if (which == WAIT_OBJECT_0 + 1) {
        return Wait::Woken;
    }
    if (which == WAIT_FAILED) {
        return Wait::Failed;
    }
    if (which == WAIT_OBJECT_0 && (events & EV_RXCHAR) == 0) {
        // The wait ended on its own, with no byte: Wine does so at once on a pseudo-terminal,
        // whose modem lines it cannot read. Read then looks at the queue every few milliseconds
        // (a device that is gone fails there), and a wake still ends it at once.
        idleMs = std::clamp<DWORD>(idleMs * 2, 1, kMostIdleMs);
        if (wake != nullptr &&
            WaitForSingleObject(wake, std::min(idleMs, MillisecondsUntil(deadline))) ==
                WAIT_OBJECT_0) {
            return Wait::Woken;
        }
    } else {
        idleMs = 0;
    }
    return Wait::Done;  // bytes came, or the time is up
}

NativeSerialPort::NativeSerialPort(LowLatencyMode& mode)
    : NativeSerialPort(mode, Win32Comm::System()) {}

NativeSerialPort::NativeSerialPort(LowLatencyMode& mode, Win32Comm& comm)
    : handle(std::make_unique<Handle>(comm)), lowLatency(mode) {
    handle->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    handle->reading = CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

NativeSerialPort::~NativeSerialPort() {
    Close();
    for (HANDLE event : {handle->wake, handle->reading}) {
        if (event != nullptr) {
            CloseHandle(event);
        }
    }
}

SerialError NativeSerialPort::Open(const std::string& device, int baudRate) {
    Close();
    const std::optional<std::string> name = ComDeviceName(device);
    if (!name) {
        return SerialError::InvalidName;
    }
    Win32Comm& comm = handle->comm;
    HANDLE port = comm.CreateFileA(name->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return ErrorFromOpen(GetLastError());
    }
    const auto fail = [&comm, port](SerialError error) {
        comm.CloseHandle(port);
        return error;
    };
    (void)comm.SetupComm(port, kQueueSize, kQueueSize);

    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!comm.GetCommState(port, &dcb)) {
        return fail(SerialError::NotATerminal);
    }
    dcb.BaudRate = static_cast<DWORD>(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fParity = 0;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDsrSensitivity = 0;
    dcb.fTXContinueOnXoff = 0;
    dcb.fOutX = 0;
    dcb.fInX = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    // XonLim and XoffLim stay as the driver has them: with flow control off they do nothing, and
    // a driver refuses the whole SetCommState when one is above its buffer's size.
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EofChar = 0x1A;
    dcb.EvtChar = 0;
    if (!comm.SetCommState(port, &dcb)) {
        return fail(SerialError::SettingsRefused);
    }

    // Read never leaves a ReadFile waiting (see Handle), so these read time-outs only bound one
    // that a driver were to hold back; the write's apply.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kInterByteGapMs;
    timeouts.ReadTotalTimeoutMultiplier = kReadPerByteMs;
    timeouts.ReadTotalTimeoutConstant = kReadTotalConstantMs;
    timeouts.WriteTotalTimeoutMultiplier = kWritePerByteMs;
    timeouts.WriteTotalTimeoutConstant = kWriteTotalConstantMs;
    if (!comm.SetCommTimeouts(port, &timeouts) || !comm.SetCommMask(port, EV_RXCHAR)) {
        return fail(SerialError::SettingsRefused);
    }
    handle->port = port;
    // Windows keeps an FTDI adapter's latency timer in its settings: nothing to ask, only to tell.
    (void)lowLatency.Request(-1, device);
    return SerialError::None;
}

void NativeSerialPort::Close() {
    if (handle->port != INVALID_HANDLE_VALUE) {
        handle->comm.CloseHandle(handle->port);
        handle->port = INVALID_HANDLE_VALUE;
    }
}

bool NativeSerialPort::IsOpen() const {
    return handle->port != INVALID_HANDLE_VALUE;
}

int NativeSerialPort::Read(std::uint8_t* buffer, int count) {
    if (handle->port == INVALID_HANDLE_VALUE || handle->reading == nullptr || buffer == nullptr ||
        count < 0) {
        return -1;
    }
    // The line's time-outs, kept here: until the first byte only the total applies, after it
    // also the gap since the last one.
    const Clock::time_point total =
        Clock::now() + std::chrono::milliseconds(ReadTotalTimeoutMs(count));
    Clock::time_point deadline = total;
    int got = 0;
    for (;;) {
        const int taken = handle->TakeQueued(buffer + got, count - got);
        if (taken < 0) {
            return got > 0 ? got : -1;
        }
        if (taken > 0) {
            got += taken;
            deadline = std::min(total, Clock::now() + std::chrono::milliseconds(kInterByteGapMs));
        }
        if (got == count || Clock::now() >= deadline) {
            return got;
        }
        switch (handle->WaitForBytes(deadline)) {
            case Handle::Wait::Done:
                break;
            case Handle::Wait::Woken:
                return got;
            case Handle::Wait::Failed:
                return got > 0 ? got : -1;
        }
    }
}

int NativeSerialPort::Write(const std::uint8_t* bytes, int count) {
    if (handle->port == INVALID_HANDLE_VALUE || bytes == nullptr || count < 0) {
        return -1;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return -1;
    }
    Win32Comm& comm = handle->comm;
    DWORD done = 0;
    int result = -1;
    if (comm.WriteFile(handle->port, bytes, static_cast<DWORD>(count), &done, &overlapped)) {
        result = static_cast<int>(done);
    } else if (GetLastError() == ERROR_IO_PENDING) {
        // The write time-outs of Open bound this wait; Wine reports their end as ERROR_TIMEOUT.
        if (comm.GetOverlappedResult(handle->port, &overlapped, &done, TRUE) || done > 0 ||
            GetLastError() == ERROR_TIMEOUT) {
            result = static_cast<int>(done);
        }
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

void NativeSerialPort::Purge() {
    if (handle->port != INVALID_HANDLE_VALUE) {
        (void)handle->comm.PurgeComm(handle->port, PURGE_RXCLEAR);
    }
}

void NativeSerialPort::Wake() {
    if (handle->wake != nullptr) {
        SetEvent(handle->wake);
    }
}

void NativeSerialPort::ClearWake() {
    if (handle->wake != nullptr) {
        ResetEvent(handle->wake);
    }
}

}  // namespace uhf
