#include <windows.h>

#include "serial/ComDeviceName.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

struct NativeSerialPort::Handle {
    HANDLE port = INVALID_HANDLE_VALUE;
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

NativeSerialPort::NativeSerialPort() : handle(std::make_unique<Handle>()) {}

NativeSerialPort::~NativeSerialPort() {
    Close();
}

SerialError NativeSerialPort::Open(const std::string& device, int baudRate) {
    Close();
    const std::optional<std::string> name = ComDeviceName(device);
    if (!name) {
        return SerialError::InvalidName;
    }
    HANDLE port = CreateFileA(name->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
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
    DWORD got = 0;
    if (!ReadFile(handle->port, buffer, static_cast<DWORD>(count), &got, nullptr)) {
        return got > 0 ? static_cast<int>(got) : -1;
    }
    return static_cast<int>(got);
}

int NativeSerialPort::Write(const std::uint8_t* bytes, int count) {
    if (handle->port == INVALID_HANDLE_VALUE || bytes == nullptr || count < 0) {
        return -1;
    }
    DWORD done = 0;
    if (!WriteFile(handle->port, bytes, static_cast<DWORD>(count), &done, nullptr)) {
        return done > 0 ? static_cast<int>(done) : -1;
    }
    return static_cast<int>(done);
}

}  // namespace uhf
