#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>

namespace uhf {

// Asks a USB-serial adapter's driver for low-latency mode when a port is opened. The FTDI
// driver otherwise holds received bytes for its latency timer (16 ms by default) before it
// passes them on, and the download waits for 1024 acknowledgements one after the other, so
// every millisecond above 1 costs about a second per download. Where the timer stays above
// 1 ms (Linux: the driver did not switch and its latency_timer in sysfs says so; Windows: the
// FTDI driver's LatencyTimer setting, which only the Device Manager changes), a warning says
// once how much slower a download will be and how to fix it. Nothing fails because of it.
// Each port's timer is looked at on its first open only.
//
// Request may be called from any thread; the sink is called on the caller's thread.
class LowLatencyMode {
  public:
    using Ioctl = std::function<int(int fd, unsigned long request, void* argument)>;

    // A firmware image of 65535 bytes goes in 1024 acknowledged 64-byte frames.
    static constexpr int kAcknowledgedFrames = 1024;

    // A port's latency timer in milliseconds; 0 where it has none.
    using TimerReader = std::function<int(const std::string& port)>;

    // ioctl is called with TIOCGSERIAL and TIOCSSERIAL only; usbSerialDir holds one folder per
    // usb-serial port, each with its latency_timer where the driver has one.
    LowLatencyMode(Ioctl ioctl, std::string usbSerialDir);
    // Asks nothing and reads each port's timer with `timers` (Windows).
    explicit LowLatencyMode(TimerReader timers);

    // The system's: the real ioctl and /sys/bus/usb-serial/devices/; on Windows the FTDI
    // driver's settings in the registry.
    static LowLatencyMode& System();

    // Where warnings go (a command-line tool's stderr, a window's log). Without one they are
    // only returned.
    void SetWarningSink(std::function<void(const std::string&)> sink);

    // Asks for low latency on the open descriptor fd of device (a path; links are followed to
    // find the tty's name; on Windows a COM name, and fd is not used). Returns the warning when
    // one is due on this first open of the tty; empty otherwise.
    std::string Request(int fd, const std::string& device);

    // The warning for a tty (COM3 on Windows) whose latency timer stays at timerMs, with this
    // platform's way to set it to 1 ms.
    static std::string SlowDownloadWarning(const std::string& tty, int timerMs);

  private:
    // The warning for tty on its first look when its timer is above 1 ms.
    std::string Warn(const std::string& tty);
    int ReadLatencyTimer(const std::string& tty) const;
    // How to set the timer to 1 ms, on this platform.
    static std::string FixAdvice(const std::string& tty);

    Ioctl ioctl;
    std::string usbSerialDir;
    TimerReader timers;
    std::mutex mutex;
    std::set<std::string> looked;  // the ttys whose timer was looked at
    std::function<void(const std::string&)> sink;
};

}  // namespace uhf
