#include "reader/LinkDoctor.h"
#include "tesmarle/cli/DoctorReport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

#include "fakes/FakeSerialPort.h"
#include "fakes/TempFolder.h"
#include "protocol/BaudRates.h"
#include "protocol/UpgradeFrames.h"
#include "sim/ReaderSimulator.h"

namespace uhf {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// The reader behind the doctor's ports: a ReaderSimulator on a manual clock that every port it
// opens shares, with everything the doctor sent on any of them.
struct SimulatedLine {
    SimulatedLine(SimConfig config, ReaderSimulator::Mode mode)
        : sim(std::move(config), {}, mode) {}
    ReaderProbe::Clock::time_point Now() const {
        return ReaderProbe::Clock::time_point(
            std::chrono::duration_cast<ReaderProbe::Clock::duration>(now));
    }
    bool ProbeSent() const {
        return std::any_of(writes.begin(), writes.end(), [](const Bytes& w) {
            return std::search(w.begin(), w.end(), kProbeFrame.begin(), kProbeFrame.end()) !=
                   w.end();
        });
    }
    int StopsSent() const {
        const Bytes stop{0xA0, 0x02, 0xFE, 0x60};
        return static_cast<int>(std::count(writes.begin(), writes.end(), stop));
    }

    ReaderSimulator sim;
    SimTime now{0};
    std::vector<Bytes> writes;
    bool justOpened = false;  // the port was opened and nothing sent since
};

// A port onto a SimulatedLine. A read that finds nothing lasts as long as a silent read of the
// real port, and one that gets a byte returns when it arrives.
class SimulatedLinePort : public test::FakeSerialPort {
  public:
    explicit SimulatedLinePort(SimulatedLine& simulatedLine) : line(simulatedLine) {}

    SerialError Open(const std::string& device, int baudRate) override {
        pending.clear();
        line.sim.SetHostBaud(baudRate);
        line.justOpened = true;
        baud = baudRate;
        return FakeSerialPort::Open(device, baudRate);
    }
    int Write(const std::uint8_t* bytes, int count) override {
        line.writes.emplace_back(bytes, bytes + count);
        line.justOpened = false;
        // The reader has the request once its last byte is off the line.
        line.now += LineTime(static_cast<std::size_t>(count), baud);
        line.sim.Receive(bytes, static_cast<std::size_t>(count), line.now);
        return FakeSerialPort::Write(bytes, count);
    }
    int Read(std::uint8_t* buffer, int count) override {
        const SimTime limit = line.now + milliseconds(ReadTotalTimeoutMs(count));
        for (;;) {
            const Bytes sent = line.sim.Poll(line.now);
            pending.insert(pending.end(), sent.begin(), sent.end());
            if (!pending.empty() || line.now >= limit) {
                break;
            }
            const std::optional<SimTime> next = line.sim.NextEventAt();
            line.now = next ? std::clamp(*next, line.now + SimTime{1}, limit) : limit;
        }
        const int n = std::min(count, static_cast<int>(pending.size()));
        std::copy_n(pending.begin(), n, buffer);
        pending.erase(pending.begin(), pending.begin() + n);
        return n;
    }
    void Purge() override {
        pending.clear();
        (void)line.sim.Poll(line.now);
    }

  private:
    SimulatedLine& line;
    Bytes pending;
    int baud = 0;
};

// A fake /proc and usb-serial tree, and ports that open as the test says.
class LinkDoctorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(root / "proc");
        env.procRoot = (root / "proc").string();
        env.usbSerialDir = (root / "usb-serial").string();
        env.listPorts = [] {
            PortInfo usb;
            usb.path = "/dev/ttyUSB0";
            return std::vector<PortInfo>{usb};
        };
        env.groupName = [](unsigned gid) { return gid == kDialout ? "dialout" : ""; };
        env.makePort = [this] {
            auto port = std::make_unique<test::FakeSerialPort>();
            port->openResult = openResult;
            if (echo) {
                port->SetResponder([](const test::FakeSerialPort::Bytes& written) {
                    return std::vector<test::FakeSerialPort::Bytes>{written};
                });
            }
            return port;
        };
        env.ownPid = 400;
    }

    // The doctor's ports lead to `line`, on its clock.
    void UseLine(SimulatedLine& line) {
        env.makePort = [&line] { return std::make_unique<SimulatedLinePort>(line); };
        env.now = [&line] { return line.Now(); };
    }

    void AddProcess(long pid, const std::string& comm, const std::string& openFile = "") {
        const fs::path folder = root / "proc" / std::to_string(pid);
        fs::create_directories(folder / "fd");
        std::ofstream(folder / "comm") << comm << "\n";
        fs::create_symlink("/dev/null", folder / "fd" / "0");
        if (!openFile.empty()) {
            fs::create_symlink(openFile, folder / "fd" / "3");
        }
    }

    static constexpr unsigned kDialout = 20;
    const test::TempFolder temp;
    const fs::path root = temp.Path();
    LinkDoctor::Environment env;
    SerialError openResult = SerialError::None;
    bool echo = false;
};

TEST_F(LinkDoctorTest, BusyPortNamesItsHolderThenTheProgramsThatGrabAdapters) {
    AddProcess(100, "ModemManager");
    AddProcess(200, "brltty");
    AddProcess(300, "minicom", "/dev/ttyUSB0");
    AddProcess(400, "tesmarle-cli", "/dev/ttyUSB0");  // the doctor itself
    openResult = SerialError::Busy;

    const PortDiagnosis d = LinkDoctor(env).Examine("/dev/ttyUSB0", {});
    ASSERT_EQ(d.holders.size(), 1u);
    EXPECT_EQ(d.holders[0].pid, 300);
    ASSERT_EQ(d.findings.size(), 3u);
    EXPECT_EQ(d.findings[0],
              "busy: /dev/ttyUSB0 is held by process 300 (minicom); close it there first");
    EXPECT_THAT(d.findings[1], HasSubstr("ModemManager is running (process 100)"));
    EXPECT_THAT(d.findings[2], HasSubstr("brltty is running (process 200)"));
    EXPECT_FALSE(d.mode.has_value());
    EXPECT_THAT(DoctorReport::Json({d}, LinkDoctor(env).FindGrabbers()),
                HasSubstr("\"holders\": [{\"pid\": 300, \"name\": \"minicom\"}]"));
}

struct PermissionCase {
    const char* name;
    const char* group;       // the name of the device's group
    bool userInGroup;        // the user is in the device's group
    bool userInDialout;      // the user is in dialout (another group)
    std::string finding;     // with @ for the device
    const char* notAdvised;  // never in the finding
};

class DoctorPermissionTest : public LinkDoctorTest,
                             public ::testing::WithParamInterface<PermissionCase> {};

// Adding the user to root would open far more than the port: a device of group root is to be
// given to a users' group instead.
TEST_P(DoctorPermissionTest, NamesTheGroupAndTheWayIn) {
    const PermissionCase& c = GetParam();
    const std::string device = (root / "ttyUSB0").string();
    std::ofstream(device) << "";
    struct stat info {};
    ASSERT_EQ(::stat(device.c_str(), &info), 0);
    const auto gid = static_cast<unsigned>(info.st_gid);
    const unsigned dialoutGid = gid + 1;
    env.groupName = [&c, gid, dialoutGid](unsigned asked) -> std::string {
        return asked == gid ? c.group : asked == dialoutGid ? "dialout" : "";
    };
    env.userGroups = [&c, gid, dialoutGid] {
        std::vector<unsigned> groups{12345};
        if (c.userInGroup) {
            groups.push_back(gid);
        }
        if (c.userInDialout) {
            groups.push_back(dialoutGid);
        }
        return groups;
    };
    openResult = SerialError::PermissionDenied;

    const PortDiagnosis d = LinkDoctor(env).Examine(device, {});
    EXPECT_EQ(d.group, c.group);
    EXPECT_EQ(d.userInGroup, c.userInGroup);
    ASSERT_EQ(d.findings.size(), 1u);
    std::string expected = c.finding;
    expected.replace(expected.find('@'), 1, device);
    EXPECT_EQ(d.findings[0], expected);
    EXPECT_THAT(d.findings[0], Not(HasSubstr(c.notAdvised)));
}

const std::string kUdevRule =
    "permission: @ belongs to group root, which is no group to add a user to; give the device to "
    "the users' "
    "group dialout with a udev rule: echo 'SUBSYSTEM==\"tty\", KERNEL==\"ttyUSB[0-9]*\", "
    "GROUP=\"dialout\", MODE=\"0660\"' | sudo tee /etc/udev/rules.d/99-reader-serial.rules, "
    "then sudo udevadm control --reload-rules; sudo udevadm trigger";

INSTANTIATE_TEST_SUITE_P(
    Groups, DoctorPermissionTest,
    ::testing::Values(
        PermissionCase{"DialoutWithoutTheUser", "dialout", false, false,
                       "permission: @ belongs to group dialout, and this user is not in it. Add "
                       "the user to it "
                       "with: sudo usermod -aG dialout $USER (then log out and in again)",
                       "udev"},
        PermissionCase{"DialoutWithTheUser", "dialout", true, true,
                       "permission: this user is in group dialout, which owns @, but the group "
                       "may not read and write it; ask the administrator to make it readable and "
                       "writable by the group",
                       "usermod"},
        PermissionCase{"RootUserNotInDialout", "root", false, false,
                       kUdevRule + "; and add the user to dialout: sudo usermod -aG dialout $USER "
                                   "(then log out and in again)",
                       "usermod -aG root"},
        PermissionCase{"RootUserInDialout", "root", false, true, kUdevRule, "usermod"}),
    [](const ::testing::TestParamInfo<PermissionCase>& info) { return info.param.name; });

// A line that returns what is sent answers every probe with the probe itself; no reader is
// there. The latency timer is read from the adapter's usb-serial folder.
TEST_F(LinkDoctorTest, EchoingLineIsNoReaderAndASlowLatencyTimerIsSaid) {
    echo = true;
    fs::create_directories(root / "usb-serial" / "ttyUSB0");
    std::ofstream(root / "usb-serial" / "ttyUSB0" / "latency_timer") << "16\n";

    const PortDiagnosis d = LinkDoctor(env).Examine("/dev/ttyUSB0", {});
    EXPECT_FALSE(d.mode.has_value());
    EXPECT_TRUE(d.echo);
    EXPECT_EQ(d.latencyTimerMs, 16);
    ASSERT_EQ(d.findings.size(), 2u);
    EXPECT_THAT(d.findings[0], HasSubstr("latency timer: ttyUSB0: the USB adapter's latency "
                                         "timer is 16 ms"));
    EXPECT_THAT(d.findings[1], HasSubstr("the line sends back what is sent"));
    const std::string json = DoctorReport::Json({d}, {});
    EXPECT_THAT(json, HasSubstr("\"answered\": false"));
    EXPECT_THAT(json, HasSubstr("\"latencyTimerMs\": 16"));
}

// As on Windows: the port list knows each adapter's latency timer and which port is a
// Bluetooth link, which examining every port leaves unopened, since its open would call the
// remote device for up to 30 s.
TEST_F(LinkDoctorTest, ExaminingEveryPortSkipsBluetoothAndTakesTheListedLatencyTimer) {
    echo = true;
    env.listPorts = [] {
        PortInfo ftdi;
        ftdi.path = "COM3";
        ftdi.latencyTimerMs = 16;
        PortInfo bluetooth;
        bluetooth.path = "COM5";
        bluetooth.bluetooth = true;
        return std::vector<PortInfo>{ftdi, bluetooth};
    };
    std::vector<std::string> opened;
    env.makePort = [&opened] {
        struct Recording : test::FakeSerialPort {
            explicit Recording(std::vector<std::string>& names) : opened(names) {}
            SerialError Open(const std::string& device, int baudRate) override {
                opened.push_back(device);
                return FakeSerialPort::Open(device, baudRate);
            }
            std::vector<std::string>& opened;
        };
        return std::make_unique<Recording>(opened);
    };

    const std::vector<PortDiagnosis> all = LinkDoctor(env).ExamineAll({});
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].latencyTimerMs, 16);
    EXPECT_THAT(all[0].findings[0], HasSubstr("latency timer: COM3: the USB adapter's latency "
                                              "timer is 16 ms"));
    EXPECT_EQ(all[1].path, "COM5");
    EXPECT_THAT(all[1].findings,
                ElementsAre("skipped: COM5 is a Bluetooth link, whose opening calls the remote "
                            "device (up to 30 s when it is away); name it with -p COM5 to "
                            "examine it"));
    EXPECT_FALSE(opened.empty());
    EXPECT_TRUE(std::all_of(opened.begin(), opened.end(),
                            [](const std::string& name) { return name == "COM3"; }));
}

struct TurnaroundCase {
    int turnaroundMs;
    int baud;
    const char* slowAnswers;  // the finding's words, or nullptr when none is due
};

class DoctorTurnaroundTest : public LinkDoctorTest,
                             public ::testing::WithParamInterface<TurnaroundCase> {};

// Once the reader is found, 20 more Stop exchanges at its rate: their round trips less the
// 9 bytes' wire time give the reader's turnaround exactly on the simulated line, and above 4 ms
// the doctor says what it costs a download and how to set the latency timer.
TEST_P(DoctorTurnaroundTest, MeasuresTheTurnaroundAndSaysWhatItCostsADownload) {
    const TurnaroundCase c = GetParam();
    SimConfig config;
    config.tagRate = 0;
    config.workingBaud = c.baud;
    config.turnaroundMs = c.turnaroundMs;
    SimulatedLine line(config, ReaderSimulator::Mode::Stopped);
    UseLine(line);

    const PortDiagnosis d = LinkDoctor(env).Examine("/dev/ttyUSB0", {});
    ASSERT_EQ(d.mode, ReaderMode::ParameterProtocol);
    // The scan's Stop at each rate up to the reader's, then the measuring ones.
    EXPECT_EQ(line.StopsSent(), BaudRateIndex(c.baud) + 1 + LinkDoctor::kTurnaroundExchanges);
    EXPECT_EQ(d.turnaroundExchanges, LinkDoctor::kTurnaroundExchanges);
    // Within the microsecond that each byte's line time is rounded up by.
    EXPECT_NEAR(d.turnaround.count(), c.turnaroundMs * 1000, 10);
    EXPECT_NEAR(d.longestTurnaround.count(), c.turnaroundMs * 1000, 10);
    ASSERT_EQ(d.findings.size(), c.slowAnswers ? 3u : 2u) << ::testing::PrintToString(d.findings);
    EXPECT_THAT(d.findings[1],
                HasSubstr("turnaround: " + std::to_string(c.turnaroundMs) +
                          ".0 ms (median of 20 Stop exchanges at " + std::to_string(c.baud)));
    if (c.slowAnswers != nullptr) {
        EXPECT_EQ(d.findings[2],
                  std::string(c.slowAnswers) +
                      "echo 1 | sudo tee /sys/bus/usb-serial/devices/ttyUSB0/latency_timer, or "
                      "setserial /dev/ttyUSB0 low_latency (the udev rule in the README keeps it "
                      "so)");
    }
    const std::string json = DoctorReport::PortJson(d);
    EXPECT_THAT(json, HasSubstr("\"turnaroundMs\": " + std::to_string(c.turnaroundMs) + ".0"));
    // 7.568 s without a turnaround, 1026 answers each waited for.
    const std::string at115200 = c.turnaroundMs == 16  ? "23.98"
                                 : c.turnaroundMs == 2 ? "9.62"
                                                       : "7.56";
    EXPECT_THAT(json, HasSubstr("\"115200\": " + at115200));
}

INSTANTIATE_TEST_SUITE_P(
    Turnarounds, DoctorTurnaroundTest,
    ::testing::Values(TurnaroundCase{0, 9600, nullptr}, TurnaroundCase{2, 115200, nullptr},
                      TurnaroundCase{16, 115200,
                                     "slow answers: the adapter holds replies for about 16 ms: a "
                                     "download will take 24.0 s instead of 7.6 s at 115200; set "
                                     "its latency timer to 1 ms: "}),
    [](const ::testing::TestParamInfo<TurnaroundCase>& info) {
        return "Turnaround" + std::to_string(info.param.turnaroundMs) + "msAt" +
               std::to_string(info.param.baud);
    });

// ENXIO (/dev/tty without a terminal, a socket) comes as "no such device" too, but its name is
// there: it must not be said not to exist.
TEST_F(LinkDoctorTest, MissingPortNamesThePortsThatAreThere) {
    openResult = SerialError::NoSuchDevice;
    AddProcess(100, "ModemManager");
    const PortDiagnosis gone = LinkDoctor(env).Examine("/dev/serial/by-id/usb-FTDI_gone", {});
    EXPECT_TRUE(gone.missing);
    ASSERT_EQ(gone.findings.size(), 2u);
    EXPECT_EQ(gone.findings[0],
              "device missing: /dev/serial/by-id/usb-FTDI_gone does not exist (the ports there "
              "are: /dev/ttyUSB0)");
    EXPECT_THAT(gone.findings[1], HasSubstr("ModemManager is running"));

    const std::string named = (root / "tty").string();
    std::ofstream(named) << "";
    const PortDiagnosis empty = LinkDoctor(env).Examine(named, {});
    EXPECT_TRUE(empty.missing);
    EXPECT_EQ(empty.findings[0], "device missing: " + named +
                                     ": no such device or address (the name is there, but no "
                                     "device is behind it; the ports there are: /dev/ttyUSB0)");
}

struct FaultyLineCase {
    const char* name;
    SimFaults faults;
    int readerBaud;
    ReaderSimulator::Mode readerMode;
    bool loaderProbe;
    std::optional<ReaderMode> found;
    int foundAt;
    std::vector<std::string> findings;  // each in the finding of the same index
    // The reader afterwards: only the probe that --loader asks for changes it.
    ReaderSimulator::Mode modeAfter;
    int readerBaudAfter;
};

class DoctorOnAFaultyLineTest : public LinkDoctorTest,
                                public ::testing::WithParamInterface<FaultyLineCase> {};

// A reader that is slow or on a noisy line still gets no upgrade probe unless it is asked for,
// the doctor's words say what it saw, and a loader's advice names the rate it listens at.
TEST_P(DoctorOnAFaultyLineTest, LeavesTheReaderAsItWasAndSaysWhatItSaw) {
    const FaultyLineCase& c = GetParam();
    SimConfig config;
    config.tagRate = 0;
    config.workingBaud = c.readerBaud;
    config.faults = c.faults;
    SimulatedLine line(config, c.readerMode);
    UseLine(line);

    const PortDiagnosis d = LinkDoctor(env).Examine("/dev/ttyUSB0", {c.loaderProbe, {}});
    EXPECT_EQ(d.mode, c.found);
    EXPECT_EQ(d.baud, c.found ? c.foundAt : 0);
    EXPECT_EQ(d.listensAt, c.found == ReaderMode::UpgradeLoader ? 9600 : 0);
    ASSERT_EQ(d.findings.size(), c.findings.size()) << ::testing::PrintToString(d.findings);
    for (std::size_t i = 0; i < c.findings.size(); ++i) {
        EXPECT_THAT(d.findings[i], HasSubstr(c.findings[i]));
    }
    EXPECT_EQ(line.ProbeSent(), c.loaderProbe) << "the probe goes out with --loader only";
    EXPECT_TRUE(line.sim.Poll(line.now + SimTime{milliseconds(50)}).empty())
        << "what the reader said is read before the port is left to another opener";
    EXPECT_EQ(line.sim.CurrentMode(), c.modeAfter);
    EXPECT_EQ(line.sim.ReaderBaud(), c.readerBaudAfter);
}

using Mode = ReaderSimulator::Mode;
const std::string kNotAsked =
    "upgrade loader: not asked. A reader left in its loader answers only the download tool's "
    "probe: tesmarle-cli -p /dev/ttyUSB0 doctor --loader sends it";

INSTANTIATE_TEST_SUITE_P(
    Lines, DoctorOnAFaultyLineTest,
    ::testing::Values(
        FaultyLineCase{"SlowReader",
                       SimFaults{.delayMs = 400},
                       9600,
                       Mode::Stopped,
                       false,
                       ReaderMode::ParameterProtocol,
                       9600,
                       {"reader: parameter protocol at 9600, but it answered Stop only after "},
                       Mode::Stopped,
                       9600},
        FaultyLineCase{"EveryReplyLost",
                       SimFaults{.dropEvery = 1},
                       9600,
                       Mode::Stopped,
                       false,
                       std::nullopt,
                       0,
                       {"no answer to Stop at any rate: check power and wiring, TX/RX may be "
                        "swapped",
                        kNotAsked},
                       Mode::Stopped,
                       9600},
        FaultyLineCase{"EverySecondByteCorrupt",
                       SimFaults{.corruptEvery = 2},
                       9600,
                       Mode::Stopped,
                       false,
                       std::nullopt,
                       0,
                       {"no answer to Stop at any rate, but bytes came back at 9600 baud that "
                        "were no answer: a noisy line",
                        kNotAsked},
                       Mode::Stopped,
                       9600},
        FaultyLineCase{"LoaderNotAsked",
                       SimFaults{},
                       115200,
                       Mode::Upgrade,
                       false,
                       std::nullopt,
                       0,
                       {"no answer to Stop at any rate: check power", kNotAsked},
                       Mode::Upgrade,
                       115200},
        FaultyLineCase{"LoaderAsked",
                       SimFaults{},
                       115200,
                       Mode::Upgrade,
                       true,
                       ReaderMode::UpgradeLoader,
                       115200,
                       {"reader: upgrade loader at 115200 (it answers only the download tool: its "
                        "firmware may be incomplete); after this probe it listens at 9600 baud: "
                        "download the firmware again with ferrowin-cli --device-baud 9600, or "
                        "--device-baud auto"},
                       Mode::Upgrade,
                       9600}),
    [](const ::testing::TestParamInfo<FaultyLineCase>& info) { return info.param.name; });

struct StopCase {
    const char* name;
    bool downloadStart;  // ferrowin-cli's scan, else the doctor with --loader
    // The stop request comes when the port has been opened after this many Stop requests (after
    // the last one: just before the probe would go out); 0: at each of many moments of the scan.
    int stopAfterStops;
};

class ScanStopTest : public LinkDoctorTest, public ::testing::WithParamInterface<StopCase> {
  protected:
    // Runs the scan on a reader that hears everything and answers nothing; true when it said
    // it stopped.
    bool ScanUntil(SimulatedLine& line, const ReaderProbe::StopCheck& stop) {
        UseLine(line);
        if (GetParam().downloadStart) {
            SimulatedLinePort port(line);
            ReaderProbe::Outcome scan;
            const bool found = ReaderProbe(port, stop, [&line] { return line.Now(); })
                                   .FindDownloadStart("/dev/ttyUSB0", scan)
                                   .has_value();
            return !found && scan.stopped;
        }
        const PortDiagnosis d = LinkDoctor(env).Examine("/dev/ttyUSB0", {true, stop});
        // No claim about what was not asked: Stop's result only once it was asked everywhere.
        std::vector<std::string> said;
        if (GetParam().stopAfterStops == 10) {
            said.push_back(
                "no answer to Stop at any rate: check power and wiring, TX/RX may be "
                "swapped");
        }
        said.push_back(
            "stopped: the stop request came before the reader was asked at every "
            "rate; nothing was sent after it");
        EXPECT_EQ(d.findings, said);
        return d.stopped && !d.mode;
    }
    static SimConfig DeafLine() {
        SimConfig config;
        config.tagRate = 0;
        config.faults.dropEvery = 1;
        return config;
    }
};

// A stop request ends a scan before its next request, and a wait for an answer within one
// silent read of one byte; the upgrade probe, which would move the reader into its loader,
// never goes out after it.
TEST_P(ScanStopTest, EndsWithoutTheProbeSoonAfterTheRequest) {
    const StopCase& c = GetParam();
    if (c.stopAfterStops > 0) {
        SimulatedLine line(DeafLine(), Mode::Stopped);
        EXPECT_TRUE(ScanUntil(
            line, [&] { return line.StopsSent() >= c.stopAfterStops && line.justOpened; }));
        EXPECT_FALSE(line.ProbeSent());
        EXPECT_EQ(line.writes.size(), static_cast<std::size_t>(c.stopAfterStops));
        EXPECT_EQ(line.sim.CurrentMode(), Mode::Stopped);
        return;
    }
    const SimTime oneSilentRead{milliseconds(SerialPort::ReadTotalTimeoutMs(1))};
    for (int at = 10; at < 6500; at += 97) {
        SCOPED_TRACE("stop request at " + std::to_string(at) + " ms");
        SimulatedLine line(DeafLine(), Mode::Stopped);
        const SimTime stopAt{milliseconds(at)};
        EXPECT_TRUE(ScanUntil(line, [&] { return line.now >= stopAt; }));
        EXPECT_LE(line.now - stopAt, oneSilentRead);
        EXPECT_FALSE(line.ProbeSent());
        EXPECT_EQ(line.writes.size(), static_cast<std::size_t>(line.StopsSent()));
    }
}

INSTANTIATE_TEST_SUITE_P(Scans, ScanStopTest,
                         ::testing::Values(StopCase{"DoctorAtAnyMoment", false, 0},
                                           StopCase{"DoctorBeforeTheProbe", false, 10},
                                           StopCase{"DownloadStartAtAnyMoment", true, 0},
                                           StopCase{"DownloadStartBeforeTheProbe", true, 10}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                             return info.param.name;
                         });

}  // namespace
}  // namespace uhf
