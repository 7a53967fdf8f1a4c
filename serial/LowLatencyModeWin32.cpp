#include "serial/LowLatencyMode.h"

namespace uhf {

LowLatencyMode& LowLatencyMode::System() {
    // Windows keeps an FTDI adapter's latency in the driver's port settings, out of our reach.
    static LowLatencyMode system(nullptr, "");
    return system;
}

std::string LowLatencyMode::Request(int, const std::string&) {
    return {};
}

}  // namespace uhf
