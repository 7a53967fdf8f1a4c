#pragma once

#include <string>
#include <vector>

namespace uhf {

// The serial ports of this machine, as the platform lists them: COM names from the registry
// on Windows (in the registry's order), /dev paths of the real tty devices on Linux.
class PortEnumerator {
  public:
    // Empty when there is none or the list cannot be read.
    static std::vector<std::string> ListSystemPorts();
};

}  // namespace uhf
