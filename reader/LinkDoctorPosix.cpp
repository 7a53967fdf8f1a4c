#include <grp.h>
#include <unistd.h>

#include <algorithm>

#include "common/PortEnumerator.h"
#include "reader/LinkDoctor.h"
#include "serial/NativeSerialPort.h"

namespace uhf {

LinkDoctor::Environment LinkDoctor::SystemEnvironment() {
    Environment env;
    env.procRoot = "/proc";
    env.usbSerialDir = "/sys/bus/usb-serial/devices";
    env.listPorts = &PortEnumerator::ListSystemPortDetails;
    env.userGroups = [] {
        std::vector<gid_t> ids(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
        const int count = ::getgroups(static_cast<int>(ids.size()), ids.data());
        std::vector<unsigned> groups{static_cast<unsigned>(::getegid())};
        for (int i = 0; i < count; ++i) {
            groups.push_back(static_cast<unsigned>(ids[static_cast<std::size_t>(i)]));
        }
        return groups;
    };
    env.groupName = [](unsigned gid) -> std::string {
        const group* entry = ::getgrgid(static_cast<gid_t>(gid));
        return entry != nullptr && entry->gr_name != nullptr ? entry->gr_name : "";
    };
    env.makePort = [] { return std::make_unique<NativeSerialPort>(); };
    env.ownPid = static_cast<long>(::getpid());
    return env;
}

std::string LinkDoctor::LatencyTimerAdvice(const std::string& path, const std::string& tty) {
    return "echo 1 | sudo tee /sys/bus/usb-serial/devices/" + tty +
           "/latency_timer, or setserial " + path +
           " low_latency (the udev rule in the README keeps it so)";
}

}  // namespace uhf
