#pragma once

#include <memory>

#include "serial/LowLatencyMode.h"
#include "serial/SerialPort.h"

namespace uhf {

class Win32Comm;

// The machine's own serial port: termios and poll (beside a wake-up pipe) on POSIX, the Win32
// communications calls, overlapped, on Windows (each in its own source file). On Windows
// the port name goes through ComDeviceName; elsewhere it is the device path, used as given. Each
// open asks `lowLatency` for a USB adapter's low-latency mode (on Windows it only checks the
// adapter's setting); it must outlive the port.
class NativeSerialPort : public SerialPort {
  public:
    explicit NativeSerialPort(LowLatencyMode& lowLatency = LowLatencyMode::System());
#ifdef _WIN32
    // Over `comm` in place of the system's calls (a driver of the tests'); it must outlive the
    // port.
    NativeSerialPort(LowLatencyMode& lowLatency, Win32Comm& comm);
#endif
    ~NativeSerialPort() override;
    NativeSerialPort(const NativeSerialPort&) = delete;
    NativeSerialPort& operator=(const NativeSerialPort&) = delete;

    SerialError Open(const std::string& device, int baudRate) override;
    void Close() override;
    bool IsOpen() const override;
    int Read(std::uint8_t* buffer, int count) override;
    int Write(const std::uint8_t* bytes, int count) override;
    void Purge() override;
    void Wake() override;
    void ClearWake() override;

  private:
    struct Handle;
    std::unique_ptr<Handle> handle;
    LowLatencyMode& lowLatency;
};

}  // namespace uhf
