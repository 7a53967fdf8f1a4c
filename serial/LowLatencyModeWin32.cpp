#include "common/PortEnumerator.h"
#include "serial/LowLatencyMode.h"

namespace uhf {

LowLatencyMode& LowLatencyMode::System() {
    // The FTDI driver keeps its latency timer in the adapter's settings, out of a program's
    // reach: the tools read it and say how to set it.
    static LowLatencyMode system([](const std::string& port) {
        for (const PortInfo& info : PortEnumerator::ListSystemPortDetails()) {
            if (info.path == port) {
                return info.latencyTimerMs;
            }
        }
        return 0;
    });
    return system;
}

std::string LowLatencyMode::FixAdvice(const std::string& tty) {
    return "in the Device Manager, open " + tty +
           " under Ports (COM & LPT): Properties, Port Settings, Advanced..., Latency Timer "
           "(msec) = 1; then reopen the port";
}

std::string LowLatencyMode::Request(int, const std::string& device) {
    return Warn(device);
}

}  // namespace uhf
