#include <windows.h>

#include "reader/LinkDoctor.h"
#include "common/PortEnumerator.h"
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

}  // namespace uhf
