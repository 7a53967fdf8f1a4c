#include "serial/ComDeviceName.h"

namespace uhf {

std::optional<std::string> ComDeviceName(const std::string& portName) {
    switch (portName.size()) {
        case 4:
            return portName;
        case 5:
        case 6:
            return std::string("\\\\.\\") + portName;
        default:
            return std::nullopt;
    }
}

}  // namespace uhf
