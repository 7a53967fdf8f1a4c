#pragma once

#include <string>

namespace uhf {

// One serial port and what the system knows of the device behind it. Only path is always
// there; the rest is empty where the system does not tell (a built-in UART has no USB
// description; the Windows list has only the friendly name).
struct PortInfo {
    std::string path{};          // what to open: /dev/ttyUSB0, COM3
    std::string byIdPath{};      // /dev/serial/by-id/..., a name that survives replugging
    std::string vendorId{};      // USB vendor id, four hexadecimal digits ("0403")
    std::string productId{};     // USB product id ("6001")
    std::string manufacturer{};  // as the USB device names itself ("FTDI")
    std::string product{};       // "FT232R USB UART"; on Windows the friendly name
    std::string serialNumber{};
    std::string driver{};  // the kernel driver bound to the port ("ftdi_sio", "serial8250")
    // Windows: the FTDI driver's latency timer setting (LatencyTimer), in ms; 0 where the port
    // has none. Linux reads it from sysfs once the port is open.
    int latencyTimerMs = 0;
    // Windows: a serial link over Bluetooth, whose open calls the remote device (10 to 30 s
    // when that is away).
    bool bluetooth = false;

    // One readable line of what is known beside the path, for a tooltip or a detailed list:
    // "FTDI FT232R USB UART, USB 0403:6001, serial A50285BI, driver ftdi_sio,
    // /dev/serial/by-id/usb-FTDI_...". Empty when nothing is known.
    std::string Describe() const;

    bool operator==(const PortInfo&) const = default;
};

}  // namespace uhf
