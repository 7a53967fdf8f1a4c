#include <windows.h>

#include "common/PortEnumerator.h"
#include "reader/LinkDoctor.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

// Windows has no /proc and no device groups: only the port list and the probes apply.
LinkDoctor::Environment LinkDoctor::SystemEnvironment() {
    Environment env;
    env.listPorts = &PortEnumerator::ListSystemPortDetails;
    env.makePort = [] { return std::make_unique<NativeSerialPort>(); };
    env.ownPid = static_cast<long>(::GetCurrentProcessId());
    return env;
}

std::string LinkDoctor::LatencyTimerAdvice(const std::string& path, const std::string&) {
    return "Device Manager → Ports (COM & LPT) → " + path +
           " → Properties → Port Settings → Advanced → Latency Timer (msec): 1";
}

}  // namespace uhf
