#include <windows.h>

#include "serial/ComDeviceName.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

// The port is opened for overlapped I/O so that a read can be cancelled: Read waits for its own
// event or for `wake`, which Wake sets from any thread.
struct NativeSerialPort::Handle {
    HANDLE port = INVALID_HANDLE_VALUE;
    HANDLE wake = nullptr;  // auto-reset: one wait takes one wake
};

namespace {

constexpr DWORD kQueueSize = 4096;

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

}  // namespace

NativeSerialPort::NativeSerialPort(LowLatencyMode& mode)
    : handle(std::make_unique<Handle>()), lowLatency(mode) {
    handle->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
}

NativeSerialPort::~NativeSerialPort() {
    Close();
    if (handle->wake != nullptr) {
        CloseHandle(handle->wake);
    }
}

SerialError NativeSerialPort::Open(const std::string& device, int baudRate) {
    Close();
    const std::optional<std::string> name = ComDeviceName(device);
    if (!name) {
        return SerialError::InvalidName;
    }
    HANDLE port = CreateFileA(name->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        return ErrorFromOpen(GetLastError());
    }
    (void)SetupComm(port, kQueueSize, kQueueSize);

    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(port, &dcb)) {
        CloseHandle(port);
        return SerialError::NotATerminal;
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
    dcb.XonLim = 4096;
    dcb.XoffLim = 4096;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.EofChar = 0x1A;
    dcb.EvtChar = 0;
    if (!SetCommState(port, &dcb)) {
        CloseHandle(port);
        return SerialError::SettingsRefused;
    }

    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = kInterByteGapMs;
    timeouts.ReadTotalTimeoutMultiplier = kReadPerByteMs;
    timeouts.ReadTotalTimeoutConstant = kReadTotalConstantMs;
    timeouts.WriteTotalTimeoutMultiplier = kWritePerByteMs;
    timeouts.WriteTotalTimeoutConstant = kWriteTotalConstantMs;
    if (!SetCommTimeouts(port, &timeouts)) {
        CloseHandle(port);
        return SerialError::SettingsRefused;
    }
    handle->port = port;
    return SerialError::None;
}

void NativeSerialPort::Close() {
    if (handle->port != INVALID_HANDLE_VALUE) {
        CloseHandle(handle->port);
        handle->port = INVALID_HANDLE_VALUE;
    }
}

bool NativeSerialPort::IsOpen() const {
    return handle->port != INVALID_HANDLE_VALUE;
}

int NativeSerialPort::Read(std::uint8_t* buffer, int count) {
    if (handle->port == INVALID_HANDLE_VALUE || buffer == nullptr || count < 0) {
        return -1;
    }
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (overlapped.hEvent == nullptr) {
        return -1;
    }
    DWORD got = 0;
    int result = -1;
    if (ReadFile(handle->port, buffer, static_cast<DWORD>(count), &got, &overlapped)) {
        result = static_cast<int>(got);
    } else if (GetLastError() == ERROR_IO_PENDING) {
        // The time-outs of Open end the read; a wake ends it sooner.
        HANDLE events[2] = {overlapped.hEvent, handle->wake};
        const DWORD waits = handle->wake != nullptr ? 2 : 1;
        if (WaitForMultipleObjects(waits, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
            CancelIo(handle->port);
        }
        // Waits for the read, finished or cancelled; a cancelled one reports what it got. Wine
        // ends a read that its time-outs cut short with ERROR_TIMEOUT where Windows reports
        // success: a quiet line either way, not a lost device.
        if (GetOverlappedResult(handle->port, &overlapped, &got, TRUE) ||
            GetLastError() == ERROR_OPERATION_ABORTED || GetLastError() == ERROR_TIMEOUT) {
            result = static_cast<int>(got);
        } else if (got > 0) {
            result = static_cast<int>(got);
        }
    }
    CloseHandle(overlapped.hEvent);
    return result;
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
    DWORD done = 0;
    int result = -1;
    if (WriteFile(handle->port, bytes, static_cast<DWORD>(count), &done, &overlapped)) {
        result = static_cast<int>(done);
    } else if (GetLastError() == ERROR_IO_PENDING) {
        // The write time-outs of Open bound this wait; Wine reports their end as ERROR_TIMEOUT.
        if (GetOverlappedResult(handle->port, &overlapped, &done, TRUE) || done > 0 ||
            GetLastError() == ERROR_TIMEOUT) {
            result = static_cast<int>(done);
        }
    }
    CloseHandle(overlapped.hEvent);
    return result;
}

void NativeSerialPort::Purge() {
    if (handle->port != INVALID_HANDLE_VALUE) {
        (void)PurgeComm(handle->port, PURGE_RXCLEAR);
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
