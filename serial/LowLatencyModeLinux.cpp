#include <linux/serial.h>
#include <sys/ioctl.h>

#include <climits>
#include <cstdlib>

#include "serial/LowLatencyMode.h"

namespace uhf {
namespace {

// The tty's name as sysfs knows it: /dev/serial/by-id/usb-FTDI_... is /dev/ttyUSB0.
std::string TtyName(const std::string& device) {
    char resolved[PATH_MAX];
    std::string path = ::realpath(device.c_str(), resolved) != nullptr ? resolved : device;
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

LowLatencyMode& LowLatencyMode::System() {
    static LowLatencyMode system([](int fd, unsigned long request,
                                    void* argument) { return ::ioctl(fd, request, argument); },
                                 "/sys/bus/usb-serial/devices/");
    return system;
}

std::string LowLatencyMode::FixAdvice(const std::string& tty) {
    return "the udev rule in the README, or for now: echo 1 | sudo tee "
           "/sys/bus/usb-serial/devices/" +
           tty + "/latency_timer";
}

std::string LowLatencyMode::Request(int fd, const std::string& device) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(fd, TIOCSSERIAL, &serial);
    }
    return Warn(TtyName(device));
}

}  // namespace uhf
