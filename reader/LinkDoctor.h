#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/PortInfo.h"
#include "reader/ReaderProbe.h"
#include "serial/SerialError.h"
#include "serial/SerialPort.h"

namespace uhf {

// A process found in /proc.
struct ProcessInfo {
    long pid = 0;
    std::string name;  // its comm
};

// What stands between the user and the reader on one port, and where the reader answered.
struct PortDiagnosis {
    std::string path;
    PortInfo info;  // what the port list knows of it; path alone when it is not listed
    bool missing = false;
    SerialError openError = SerialError::None;
    std::string group;                 // the device's group, when the user may not open it
    std::optional<bool> userInGroup;   // ditto
    std::vector<ProcessInfo> holders;  // when it is busy
    std::vector<ProcessInfo> grabbers;
    int latencyTimerMs = 0;  // 0: no latency timer (not an FTDI adapter, or unknown)
    std::optional<ReaderMode> mode;
    int baud = 0;          // where it answered
    int listensAt = 0;     // a loader: the rate it waits at after the probe
    bool echo = false;     // the line returned what was sent
    bool stopped = false;  // a stop request ended the probing
    // Where the parameter protocol answered: Stop's round trips there less the bytes' wire time,
    // the median and the longest; 0 when not measured.
    std::chrono::microseconds turnaround{0};
    std::chrono::microseconds longestTurnaround{0};
    int turnaroundExchanges = 0;
    // The plain-word lines of the report, in the order the checks ran.
    std::vector<std::string> findings;
};

// The link doctor: for one port or every port, says in plain words why a reader cannot be
// reached (missing device, permission, another program holding the port, a ModemManager or
// brltty that grabs adapters, a slow latency timer), then asks the reader with Stop at every
// rate, and with the download tool's probe only when asked to, since that moves a reader that
// hears it into its upgrade loader. Everything it looks at comes through the environment, so
// that tests can give it a fake /proc, fake groups, a fake port list, fake ports and a clock.
class LinkDoctor {
  public:
    struct Environment {
        std::string procRoot;      // "/proc"
        std::string usbSerialDir;  // "/sys/bus/usb-serial/devices"
        std::function<std::vector<PortInfo>()> listPorts;
        std::function<std::vector<unsigned>()> userGroups;  // group ids of this process
        std::function<std::string(unsigned)> groupName;     // "" when it has none
        std::function<std::unique_ptr<SerialPort>()> makePort;
        std::function<ReaderProbe::Clock::time_point()> now = &ReaderProbe::Clock::now;
        long ownPid = 0;  // never named as a holder
    };

    struct Request {
        bool loaderProbe = false;  // where Stop found nothing, send the download tool's probe
        ReaderProbe::StopCheck stopRequested;
    };

    // The machine's own.
    static Environment SystemEnvironment();

    explicit LinkDoctor(Environment environment);

    PortDiagnosis Examine(const std::string& port, const Request& request) const;
    // Every listed port, until a stop request; empty when there is none. A Bluetooth link is
    // not opened, only said to be skipped.
    std::vector<PortDiagnosis> ExamineAll(const Request& request) const;
    // Running programs that open serial adapters behind the user's back.
    std::vector<ProcessInfo> FindGrabbers() const;

    static bool ReaderAnswered(const std::vector<PortDiagnosis>& ports);

    // Stop exchanges that measure the turnaround once the reader is found.
    static constexpr int kTurnaroundExchanges = 20;
    // A turnaround above this is the adapter holding answers back, not the reader thinking.
    static constexpr std::chrono::milliseconds kSlowTurnaround{4};

    // The findings' words for a grabber, also said when no port is found.
    static std::string DescribeGrabber(const ProcessInfo& grabber);

  private:
    std::vector<ProcessInfo> FindHolders(const std::string& port) const;
    void CheckPermission(PortDiagnosis& d) const;
    void Probe(PortDiagnosis& d, const Request& request) const;
    int LatencyTimer(const std::string& port) const;
    void MeasureTurnaround(PortDiagnosis& d, ReaderProbe& probe) const;
    // The platform's way to set an adapter's latency timer to 1 ms; `tty` is the device's name.
    static std::string LatencyTimerAdvice(const std::string& path, const std::string& tty);

    Environment env;
};

}  // namespace uhf
