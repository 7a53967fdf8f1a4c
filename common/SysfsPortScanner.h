#pragma once

#include <string>
#include <vector>

#include "common/PortInfo.h"

namespace uhf {

// Lists the serial ports that the kernel registered as real devices: the entries of the tty
// class directory that have a device behind them. A port of the serial core whose "type" is
// 0 has no UART (the 8250 driver registers such placeholders for ttyS0..ttyS31), and neither
// has a ttyS port without a "type" whose device is the bare serial8250 platform driver; both
// are left out. Virtual terminals, consoles and pseudo-terminals have no device and are left
// out too. The roots are given so that tests can point them at a fake tree.
class SysfsPortScanner {
  public:
    explicit SysfsPortScanner(std::string ttyClassDir = "/sys/class/tty",
                              std::string deviceDir = "/dev/",
                              std::string byIdDir = "/dev/serial/by-id/");

    // Device paths (deviceDir + name) in natural order: ttyS2 before ttyS10 before ttyUSB0.
    // Empty when the class directory is missing or unreadable.
    std::vector<std::string> Scan() const;

    // The same ports in the same order, each with its driver, the USB device it belongs to
    // (the nearest parent device with a vendor id) and its link in byIdDir.
    std::vector<PortInfo> ScanDetails() const;

  private:
    bool IsRealPort(const std::string& name) const;
    // The real ports' sysfs names in natural order.
    std::vector<std::string> Names() const;
    PortInfo Describe(const std::string& name) const;

    std::string ttyClassDir;
    std::string deviceDir;
    std::string byIdDir;
};

}  // namespace uhf
