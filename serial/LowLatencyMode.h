#pragma once

#include <functional>
#include <mutex>
#include <set>
#include <string>

namespace uhf {

// Asks a USB-serial adapter's driver for low-latency mode when a port is opened. The FTDI
// driver otherwise holds received bytes for its latency timer (16 ms by default) before it
// passes them on, and the download waits for 1024 acknowledgements one after the other, so
// every millisecond above 1 costs about a second per download. Where the driver does not
// switch, and its latency_timer in sysfs says more than 1 ms, a warning says once how much
// slower a download will be and how to fix it. Nothing fails because of it.
//
// Request may be called from any thread; the sink is called on the caller's thread.
class LowLatencyMode {
  public:
    using Ioctl = std::function<int(int fd, unsigned long request, void* argument)>;

    // A firmware image of 65535 bytes goes in 1024 acknowledged 64-byte frames.
    static constexpr int kAcknowledgedFrames = 1024;

    // ioctl is called with TIOCGSERIAL and TIOCSSERIAL only; usbSerialDir holds one folder per
    // usb-serial port, each with its latency_timer where the driver has one.
    LowLatencyMode(Ioctl ioctl, std::string usbSerialDir);

    // The system's: the real ioctl and /sys/bus/usb-serial/devices/ (on Windows, where the
    // driver's own settings hold the latency, one that asks nothing and never warns).
    static LowLatencyMode& System();

    // Where warnings go (a command-line tool's stderr, a window's log). Without one they are
    // only returned.
    void SetWarningSink(std::function<void(const std::string&)> sink);

    // Asks for low latency on the open descriptor fd of device (a path; links are followed to
    // find the tty's name). Returns the warning when one is due and was not said before for
    // this tty; empty otherwise.
    std::string Request(int fd, const std::string& device);

    // The warning for a tty whose latency timer stays at timerMs.
    static std::string SlowDownloadWarning(const std::string& tty, int timerMs);

  private:
    // The warning for tty when its timer is above 1 ms and it was not said before.
    std::string Warn(const std::string& tty);
    int ReadLatencyTimer(const std::string& tty) const;

    Ioctl ioctl;
    std::string usbSerialDir;
    std::mutex mutex;
    std::set<std::string> warned;
    std::function<void(const std::string&)> sink;
};

}  // namespace uhf
