#include "serial/LowLatencyMode.h"

#include <cstdio>
#include <fstream>
#include <utility>

namespace uhf {

LowLatencyMode::LowLatencyMode(Ioctl call, std::string dir)
    : ioctl(std::move(call)), usbSerialDir(std::move(dir)) {
    if (!usbSerialDir.empty() && usbSerialDir.back() != '/') {
        usbSerialDir += '/';
    }
}

LowLatencyMode::LowLatencyMode(TimerReader reader) : timers(std::move(reader)) {}

void LowLatencyMode::SetWarningSink(std::function<void(const std::string&)> newSink) {
    std::lock_guard<std::mutex> lock(mutex);
    sink = std::move(newSink);
}

std::string LowLatencyMode::Warn(const std::string& tty) {
    {
        // The download reopens the port twice at other rates: once is enough, and on Windows
        // each look is a walk through the devices.
        std::lock_guard<std::mutex> lock(mutex);
        if (!looked.insert(tty).second) {
            return {};
        }
    }
    // Whatever the driver answered, its timer tells what it does (a pseudo-terminal or a
    // built-in UART has none).
    const int timerMs = ReadLatencyTimer(tty);
    if (timerMs <= 1) {
        return {};
    }
    std::function<void(const std::string&)> say;
    {
        std::lock_guard<std::mutex> lock(mutex);
        say = sink;
    }
    std::string warning = SlowDownloadWarning(tty, timerMs);
    if (say) {
        say(warning);
    }
    return warning;
}

int LowLatencyMode::ReadLatencyTimer(const std::string& tty) const {
    if (timers) {
        return timers(tty);
    }
    std::ifstream in(usbSerialDir + tty + "/latency_timer");
    int timerMs = 0;
    if (!(in >> timerMs)) {
        return 0;
    }
    return timerMs;
}

std::string LowLatencyMode::SlowDownloadWarning(const std::string& tty, int timerMs) {
    const long extraMs = static_cast<long>(kAcknowledgedFrames) * (timerMs - 1);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", static_cast<double>(extraMs) / 1000.0);
    return tty + ": the USB adapter's latency timer is " + std::to_string(timerMs) +
           " ms and its driver did not switch to low-latency mode, so a firmware download takes "
           "up to " +
           seconds + " s longer (" + std::to_string(kAcknowledgedFrames) +
           " acknowledged frames × " + std::to_string(timerMs - 1) + " ms). Fix: " + FixAdvice(tty);
}

}  // namespace uhf
