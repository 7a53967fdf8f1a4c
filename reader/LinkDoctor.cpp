#include "reader/LinkDoctor.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <utility>

#include "protocol/BaudRates.h"
#include "protocol/UpgradeFrames.h"
#include "serial/LowLatencyMode.h"

namespace uhf {

namespace {

namespace fs = std::filesystem;

// The programs known to open new serial adapters on their own.
constexpr const char* kGrabberNames[] = {"ModemManager", "brltty"};

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line.substr(0, 256);
}

std::string Canonical(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

// The numeric folders of /proc, one a process.
std::vector<long> ProcessIds(const std::string& procRoot) {
    std::vector<long> pids;
    std::error_code error;
    fs::directory_iterator it(procRoot, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (!name.empty() && name.size() < 12 &&
            std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            pids.push_back(std::stol(name));
        }
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

std::string ListNames(const std::vector<ProcessInfo>& processes) {
    std::string text;
    for (std::size_t i = 0; i < processes.size(); ++i) {
        text += (i == 0 ? "" : ", ") + std::string("process ") + std::to_string(processes[i].pid) +
                " (" + processes[i].name + ")";
    }
    return text;
}

// "9600", "9600 and 19200", "9600, 19200 and 38400".
std::string ListRates(const std::vector<int>& rates) {
    std::string text;
    for (std::size_t i = 0; i < rates.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == rates.size() ? " and " : ", ") + std::to_string(rates[i]);
    }
    return text;
}

// The udev rule's name pattern for the device's kind: ttyUSB0 gives ttyUSB[0-9]*.
std::string KernelNamePattern(const std::string& device) {
    std::string name = fs::path(device).filename().string();
    const std::size_t digits = name.find_last_not_of("0123456789") + 1;
    if (digits < name.size()) {
        name = name.substr(0, digits) + "[0-9]*";
    }
    return name;
}

// "7.6 s": a 65535-byte download's time with `turnaround` before each answer.
std::string DownloadSeconds(int baud, std::chrono::microseconds turnaround) {
    char text[32];
    std::snprintf(
        text, sizeof text, "%.1f s",
        std::chrono::duration<double>(UpgradeDuration(kMaxImageLength, baud, turnaround)).count());
    return text;
}

std::string Milliseconds(std::chrono::microseconds time) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(time.count()) / 1000.0);
    return text;
}

}  // namespace

LinkDoctor::LinkDoctor(Environment environment) : env(std::move(environment)) {}

std::vector<ProcessInfo> LinkDoctor::FindGrabbers() const {
    std::vector<ProcessInfo> found;
    for (const long pid : ProcessIds(env.procRoot)) {
        const std::string name = FirstLine(fs::path(env.procRoot) / std::to_string(pid) / "comm");
        if (std::find(std::begin(kGrabberNames), std::end(kGrabberNames), name) !=
            std::end(kGrabberNames)) {
            found.push_back({pid, name});
        }
    }
    return found;
}

std::vector<ProcessInfo> LinkDoctor::FindHolders(const std::string& port) const {
    const std::string device = Canonical(port);
    std::vector<ProcessInfo> holders;
    for (const long pid : ProcessIds(env.procRoot)) {
        if (pid == env.ownPid) {
            continue;
        }
        const fs::path folder = fs::path(env.procRoot) / std::to_string(pid);
        std::error_code error;
        fs::directory_iterator it(folder / "fd", error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(it->path(), linkError);
            if (!linkError && (target == device || target == port)) {
                holders.push_back({pid, FirstLine(folder / "comm")});
                break;
            }
        }
    }
    return holders;
}

void LinkDoctor::CheckPermission(PortDiagnosis& d) const {
    struct stat info {};
    if (::stat(d.path.c_str(), &info) != 0) {
        d.findings.push_back("permission: this user may not open " + d.path);
        return;
    }
    const auto gid = static_cast<unsigned>(info.st_gid);
    d.group = env.groupName ? env.groupName(gid) : std::string();
    if (d.group.empty()) {
        d.group = std::to_string(gid);
    }
    const std::vector<unsigned> groups =
        env.userGroups ? env.userGroups() : std::vector<unsigned>{};
    d.userInGroup = std::find(groups.begin(), groups.end(), gid) != groups.end();
    if (*d.userInGroup) {
        d.findings.push_back("permission: this user is in group " + d.group + ", which owns " +
                             d.path +
                             ", but the group may not read and write it; ask the "
                             "administrator to make it readable and writable by the group");
    } else if (d.group == "root") {
        // Membership of root would open far more than the port.
        const bool inDialout = std::any_of(groups.begin(), groups.end(), [this](unsigned id) {
            return env.groupName && env.groupName(id) == "dialout";
        });
        d.findings.push_back(
            "permission: " + d.path +
            " belongs to group root, which is no group to add a user to; give the device to "
            "the users' group dialout with a udev rule: echo 'SUBSYSTEM==\"tty\", KERNEL==\"" +
            KernelNamePattern(Canonical(d.path)) +
            "\", GROUP=\"dialout\", MODE=\"0660\"' | sudo tee "
            "/etc/udev/rules.d/99-reader-serial.rules, then sudo udevadm control "
            "--reload-rules; sudo udevadm trigger" +
            (inDialout ? std::string()
                       : "; and add the user to dialout: sudo usermod -aG dialout $USER (then "
                         "log out and in again)"));
    } else {
        d.findings.push_back("permission: " + d.path + " belongs to group " + d.group +
                             ", and this user is not in it. Add the user to it with: sudo "
                             "usermod -aG " +
                             d.group + " $USER (then log out and in again)");
    }
}

int LinkDoctor::LatencyTimer(const std::string& port) const {
    const std::string tty = fs::path(Canonical(port)).filename().string();
    std::ifstream in(fs::path(env.usbSerialDir) / tty / "latency_timer");
    int timerMs = 0;
    if (!(in >> timerMs) || timerMs < 0) {
        return 0;
    }
    return timerMs;
}

void LinkDoctor::Probe(PortDiagnosis& d, const Request& request) const {
    const std::unique_ptr<SerialPort> port = env.makePort();
    ReaderProbe probe(*port, request.stopRequested, env.now ? env.now : &ReaderProbe::Clock::now);
    const ReaderProbe::Outcome stop = probe.FindStopRate(d.path);
    ReaderProbe::Outcome loader;
    const bool askLoader = request.loaderProbe && !stop.baud && !stop.echo && !stop.stopped &&
                           stop.openError == SerialError::None;
    if (askLoader) {
        loader = probe.FindLoaderRate(d.path);
    }
    d.echo = stop.echo || loader.echo;
    d.stopped = stop.stopped || loader.stopped;
    if (stop.baud) {
        d.mode = ReaderMode::ParameterProtocol;
        d.baud = *stop.baud;
    } else if (loader.baud) {
        d.mode = ReaderMode::UpgradeLoader;
        d.baud = *loader.baud;
        d.listensAt = kBaudChangeRate;
    }
    // Read once the port has been opened: the open asks the driver for low latency. Windows
    // keeps the timer in the adapter's settings, which the port list reads.
    d.latencyTimerMs = d.info.latencyTimerMs > 0 ? d.info.latencyTimerMs : LatencyTimer(d.path);
    if (d.latencyTimerMs > 1) {
        d.findings.push_back(
            "latency timer: " +
            LowLatencyMode::SlowDownloadWarning(fs::path(Canonical(d.path)).filename().string(),
                                                d.latencyTimerMs));
    }
    const std::string baud = std::to_string(d.baud);
    if (d.mode == ReaderMode::ParameterProtocol) {
        std::string line = "reader: parameter protocol at " + baud;
        if (stop.answerTime > ReaderProbe::kStopAnswerWait) {
            line += ", but it answered Stop only after " + std::to_string(stop.answerTime.count()) +
                    " ms, later than the " + std::to_string(ReaderProbe::kStopAnswerWait.count()) +
                    " ms the tools wait for an answer: their commands fail (a slow reader, or an "
                    "adapter that holds bytes back)";
        }
        d.findings.push_back(line);
        if (!d.stopped) {
            MeasureTurnaround(d, probe);
        }
    } else if (d.mode == ReaderMode::UpgradeLoader) {
        const std::string listens = std::to_string(d.listensAt);
        d.findings.push_back("reader: upgrade loader at " + baud +
                             " (it answers only the download tool: its firmware may be "
                             "incomplete); after this probe it listens at " +
                             listens +
                             " baud: download the firmware again with ferrowin-cli "
                             "--device-baud " +
                             listens + ", or --device-baud auto");
    } else if (d.echo) {
        d.findings.push_back(
            "no reader: the line sends back what is sent (TX joined to RX: a loopback plug, or "
            "an adapter that echoes); connect the reader");
    } else if (const SerialError lost =
                   stop.openError != SerialError::None ? stop.openError : loader.openError;
               lost != SerialError::None) {
        d.findings.push_back("cannot open " + d.path +
                             " while asking the reader: " + ToString(lost));
    } else if (!stop.stopped) {
        std::vector<int> noisy = stop.bytesWithoutAnswerAt;
        noisy.insert(noisy.end(), loader.bytesWithoutAnswerAt.begin(),
                     loader.bytesWithoutAnswerAt.end());
        std::sort(noisy.begin(), noisy.end());
        noisy.erase(std::unique(noisy.begin(), noisy.end()), noisy.end());
        const bool askedBoth = askLoader && !loader.stopped;
        d.findings.push_back(
            std::string(askedBoth ? "no answer at any rate" : "no answer to Stop at any rate") +
            (noisy.empty() ? ": check power and wiring, TX/RX may be swapped"
                           : ", but bytes came back at " + ListRates(noisy) +
                                 " baud that were no answer: a noisy line or a bad cable (check "
                                 "its ground), or another device that sends"));
        if (!request.loaderProbe) {
            d.findings.push_back(
                "upgrade loader: not asked. A reader left in its loader answers only the "
                "download tool's probe: tesmarle-cli -p " +
                d.path +
                " doctor --loader sends it (a reader that hears the probe enters its loader)");
        }
    }
    if (d.stopped) {
        d.findings.push_back(
            "stopped: the stop request came before the reader was asked at every rate; nothing "
            "was sent after it");
    }
}

void LinkDoctor::MeasureTurnaround(PortDiagnosis& d, ReaderProbe& probe) const {
    const TurnaroundMeter meter = probe.MeasureTurnaround(d.path, d.baud, kTurnaroundExchanges);
    if (meter.Count() == 0) {
        return;
    }
    d.turnaround = meter.Median();
    d.longestTurnaround = meter.Longest();
    d.turnaroundExchanges = static_cast<int>(meter.Count());
    std::string line = "turnaround: " + Milliseconds(d.turnaround) + " (median of " +
                       std::to_string(meter.Count()) + " Stop exchanges at " +
                       std::to_string(d.baud) + ", longest " + Milliseconds(d.longestTurnaround) +
                       "); a 65535-byte download takes about ";
    for (std::size_t i = kBaudRates.size(); i-- > 0;) {
        line += DownloadSeconds(kBaudRates[i], d.turnaround) + " at " +
                std::to_string(kBaudRates[i]) + (i > 0 ? ", " : "");
    }
    d.findings.push_back(line);
    if (d.turnaround > kSlowTurnaround) {
        const int fastest = kBaudRates.back();
        const std::string tty = fs::path(Canonical(d.path)).filename().string();
        d.findings.push_back("slow answers: the adapter holds replies for about " +
                             std::to_string((d.turnaround.count() + 500) / 1000) +
                             " ms: a download will take " + DownloadSeconds(fastest, d.turnaround) +
                             " instead of " + DownloadSeconds(fastest, {}) + " at " +
                             std::to_string(fastest) +
                             "; set its latency timer to 1 ms: " + LatencyTimerAdvice(d.path, tty));
    }
}

PortDiagnosis LinkDoctor::Examine(const std::string& port, const Request& request) const {
    PortDiagnosis d;
    d.path = port;
    d.info.path = port;
    const std::vector<PortInfo> listed = env.listPorts ? env.listPorts() : std::vector<PortInfo>{};
    for (const PortInfo& info : listed) {
        if (info.path == port || info.byIdPath == port || info.path == Canonical(port)) {
            d.info = info;
        }
    }
    d.grabbers = FindGrabbers();

    {
        std::unique_ptr<SerialPort> tryPort = env.makePort();
        d.openError = tryPort->Open(port, kBaudRates[0]);  // any rate: only the open counts
        tryPort->Close();
    }
    if (d.openError == SerialError::NoSuchDevice) {
        d.missing = true;
        std::string others;
        for (const PortInfo& info : listed) {
            others += (others.empty() ? "" : ", ") + info.path;
        }
        // ENXIO: a name such as /dev/tty without a device behind it for this process.
        std::error_code error;
        const bool named = fs::exists(port, error);
        d.findings.push_back("device missing: " + port +
                             (named ? ": no such device or address (the name is there, but no "
                                      "device is behind it; "
                                    : " does not exist (") +
                             (others.empty() ? std::string("no serial port is there: is the "
                                                           "adapter plugged in?")
                                             : "the ports there are: " + others) +
                             ")");
    }
    switch (d.openError) {
        case SerialError::None:
        case SerialError::NoSuchDevice:
            break;
        case SerialError::PermissionDenied:
            CheckPermission(d);
            break;
        case SerialError::Busy:
            d.holders = FindHolders(port);
            d.findings.push_back("busy: " + port + " is held by " +
                                 (d.holders.empty()
                                      ? std::string("another program (run as root to see which)")
                                      : ListNames(d.holders)) +
                                 "; close it there first");
            break;
        default:
            d.findings.push_back("cannot open " + port + ": " + ToString(d.openError));
            break;
    }
    for (const ProcessInfo& grabber : d.grabbers) {
        d.findings.push_back(DescribeGrabber(grabber));
    }
    if (d.openError == SerialError::None) {
        Probe(d, request);
    }
    return d;
}

std::vector<PortDiagnosis> LinkDoctor::ExamineAll(const Request& request) const {
    std::vector<PortDiagnosis> all;
    for (const PortInfo& info : env.listPorts ? env.listPorts() : std::vector<PortInfo>{}) {
        if (request.stopRequested && request.stopRequested()) {
            break;
        }
        if (info.bluetooth) {
            PortDiagnosis skipped;
            skipped.path = info.path;
            skipped.info = info;
            skipped.findings.push_back(
                "skipped: " + info.path +
                " is a Bluetooth link, whose opening calls the remote device (up to 30 s when "
                "it is away); name it with -p " +
                info.path + " to examine it");
            all.push_back(std::move(skipped));
            continue;
        }
        all.push_back(Examine(info.path, request));
    }
    return all;
}

std::string LinkDoctor::DescribeGrabber(const ProcessInfo& grabber) {
    if (grabber.name == "brltty") {
        return "brltty is running (process " + std::to_string(grabber.pid) +
               "): it claims CH340 and CP210x adapters as braille displays and takes their "
               "port away; without a braille display remove it: sudo apt remove brltty";
    }
    return grabber.name + " is running (process " + std::to_string(grabber.pid) +
           "): it opens new USB serial adapters to look for modems and can hold the port for "
           "a while after plugging; stop it (sudo systemctl stop ModemManager) or have it "
           "leave the adapter alone (the udev rule in the README)";
}

bool LinkDoctor::ReaderAnswered(const std::vector<PortDiagnosis>& ports) {
    return std::any_of(ports.begin(), ports.end(),
                       [](const PortDiagnosis& d) { return d.mode.has_value(); });
}

}  // namespace uhf
