#pragma once

#include <string>
#include <vector>

#include "common/PortInfo.h"

namespace uhf {

// The serial ports of this machine, as the platform lists them: COM names from the registry
// on Windows, /dev paths of the real tty devices on Linux, both in natural order (COM3 before
// COM10).
class PortEnumerator {
  public:
    // Empty when there is none or the list cannot be read.
    static std::vector<std::string> ListSystemPorts();

    // The same ports with what the system knows of each (on Linux from sysfs; the Windows
    // registry gives names only).
    static std::vector<PortInfo> ListSystemPortDetails();

    // The ports a user named (a simulated reader's pseudo-terminal, which the system does not
    // list as a serial port), followed by the system's own.
    static std::vector<std::string> ListNamedThenSystemPorts(std::vector<std::string> named);
    // The same with what is known of each; a named port that the system lists too comes once,
    // at the head, with only its path.
    static std::vector<PortInfo> ListNamedThenSystemPortDetails(
        const std::vector<std::string>& named);
};

}  // namespace uhf
