// tesmarle-cli doctor and -b auto against readersim over a pseudo-terminal: the rate and mode
// the reader answers in, and what keeps a user from the port (held, missing, not permitted).
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"
#include "protocol/UpgradeFrames.h"
#include "serial/NativeSerialPort.h"

namespace uhf::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class DoctorEndToEndTest : public ::testing::Test {
  protected:
    // readersim's log (-v: every frame it receives and sends) goes to simLog.
    void StartSim(const std::vector<std::string>& args) {
        std::vector<std::string> logged = args;
        logged.push_back("-v");
        ASSERT_TRUE(sim.Start(READERSIM_PATH, logged, simLog))
            << "readersim exit status " << sim.exitStatus << "\n"
            << TempFolder::ReadFile(simLog);
    }
    // Waits (at most 5 s) until readersim's log holds `text`.
    bool SimSaid(const std::string& text) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (TempFolder::ReadFile(simLog).find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() >= deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
    // The reader heard the download tool's probe: it is in its loader now.
    bool ProbeReachedTheReader() const {
        const std::string log = TempFolder::ReadFile(simLog);
        return log.find("received probe") != std::string::npos ||
               log.find("received alternate probe") != std::string::npos;
    }
    static ToolResult Tesmarle(const std::vector<std::string>& args) {
        std::vector<std::string> command{TESMARLE_CLI_PATH};
        command.insert(command.end(), args.begin(), args.end());
        return RunTool(command);
    }

    const TempFolder dir;
    const std::string simLog = dir.PathOf("readersim.log");
    ReadersimProcess sim;
};

struct AnswerCase {
    int baud;
    bool loader;
};

class DoctorFindsTheReaderTest : public DoctorEndToEndTest,
                                 public ::testing::WithParamInterface<AnswerCase> {};

// A loader is asked with the probe only under --loader, and its advice names the rate that probe
// moved it to. --report keeps one line per port with everything the doctor found.
TEST_P(DoctorFindsTheReaderTest, NamesTheRateAndModeTheReaderAnswersIn) {
    const AnswerCase c = GetParam();
    std::vector<std::string> args{"--baud", std::to_string(c.baud)};
    if (c.loader) {
        args.push_back("--loader");
    }
    StartSim(args);
    const std::string mode = c.loader ? "upgrade loader" : "parameter protocol";

    const ToolResult text = Tesmarle({"-p", sim.Port(), "doctor", "--loader"});
    EXPECT_EQ(text.exitStatus, 0) << text.out << text.err;
    EXPECT_THAT(text.out, HasSubstr("reader: " + mode + " at " + std::to_string(c.baud)));
    if (c.loader) {
        EXPECT_THAT(text.out, HasSubstr("after this probe it listens at 9600 baud: download the "
                                        "firmware again with ferrowin-cli --device-baud 9600"));
        sim.Stop();  // the probe took the loader into an upgrade: start it afresh
        ASSERT_NO_FATAL_FAILURE(StartSim(args));
    }
    EXPECT_EQ(ProbeReachedTheReader(), c.loader) << "the probe only where Stop found nothing";
    const std::string report = dir.PathOf("doctor.jsonl");
    const ToolResult r =
        Tesmarle({"-p", sim.Port(), "doctor", "--loader", "--json", "--report", report});
    EXPECT_EQ(r.exitStatus, 0) << r.out << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"answered\": true"));
    const std::string found = "\"mode\": \"" + mode + "\", \"baud\": " + std::to_string(c.baud) +
                              ", \"listensAt\": " + (c.loader ? "9600" : "null");
    EXPECT_THAT(r.out, HasSubstr(found));
    const std::string line = TempFolder::ReadFile(report);
    EXPECT_EQ(std::count(line.begin(), line.end(), '\n'), 1) << line;
    EXPECT_THAT(line, HasSubstr("\"port\": \"" + sim.Port() +
                                "\", \"serialNumber\": null, \"operation\": \"doctor\", "
                                "\"result\": \"ok\", \"message\": null, \"diagnosis\": "
                                "{\"path\": \"" +
                                sim.Port() + "\""));
    EXPECT_THAT(line, HasSubstr(found));
}

INSTANTIATE_TEST_SUITE_P(RatesAndModes, DoctorFindsTheReaderTest,
                         ::testing::Values(AnswerCase{9600, false}, AnswerCase{19200, false},
                                           AnswerCase{38400, false}, AnswerCase{57600, false},
                                           AnswerCase{115200, false}, AnswerCase{9600, true},
                                           AnswerCase{19200, true}, AnswerCase{38400, true},
                                           AnswerCase{57600, true}, AnswerCase{115200, true}),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) {
                             return std::string(info.param.loader ? "UpgradeLoaderAt"
                                                                  : "ParameterProtocolAt") +
                                    std::to_string(info.param.baud);
                         });

TEST_F(DoctorEndToEndTest, SilentReaderIsNoAnswerAtAnyRate) {
    StartSim({"--silent-after", "0"});
    const ToolResult r = Tesmarle({"-p", sim.Port(), "doctor", "--json"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_THAT(r.out, HasSubstr("\"answered\": false"));
    EXPECT_THAT(r.out, HasSubstr("no answer to Stop at any rate: check power and wiring, TX/RX "
                                 "may be swapped"));
    EXPECT_THAT(r.out, HasSubstr("doctor --loader sends it"));
    EXPECT_FALSE(ProbeReachedTheReader());
}

struct FaultyLineCase {
    std::vector<std::string> fault;
    std::string said;
};

class DoctorOnAFaultyLineTest : public DoctorEndToEndTest,
                                public ::testing::WithParamInterface<FaultyLineCase> {};

// A slow reader, or one on a line that loses or damages its replies, is diagnosed without the
// upgrade probe: once the line is mended it answers `read` at once, in its parameter protocol.
TEST_P(DoctorOnAFaultyLineTest, LeavesTheReaderAnsweringRead) {
    ASSERT_NO_FATAL_FAILURE(StartSim(GetParam().fault));
    const ToolResult doctor = Tesmarle({"-p", sim.Port(), "doctor"});
    EXPECT_THAT(doctor.out, HasSubstr(GetParam().said)) << doctor.out;
    EXPECT_FALSE(ProbeReachedTheReader());

    sim.Signal(SIGUSR1);
    ASSERT_TRUE(SimSaid("line mended"));
    const ToolResult read = Tesmarle({"-p", sim.Port(), "read", "--json"});
    EXPECT_EQ(read.exitStatus, 0) << read.err;
    EXPECT_THAT(read.out, HasSubstr("\"power\": 30"));
    EXPECT_THAT(TempFolder::ReadFile(simLog), Not(HasSubstr("entering the upgrade")));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DoctorOnAFaultyLineTest,
    ::testing::Values(
        FaultyLineCase{{"--delay-ms", "400"},
                       "reader: parameter protocol at 9600, but it answered Stop only after "},
        FaultyLineCase{{"--drop-every", "1"},
                       "no answer to Stop at any rate: check power and wiring"},
        FaultyLineCase{{"--corrupt-every", "2"},
                       "no answer to Stop at any rate, but bytes came back at 9600 baud that were "
                       "no answer"}),
    [](const ::testing::TestParamInfo<FaultyLineCase>& info) {
        std::string name = info.param.fault[0].substr(2) + info.param.fault[1];
        name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
        return name;
    });

struct InterruptCase {
    const char* name;
    std::vector<std::string> command;  // PORT and FIRMWARE stand for the port and an image
    const char* said;
};

class ScanInterruptTest : public DoctorEndToEndTest,
                          public ::testing::WithParamInterface<InterruptCase> {};

// Ctrl-C while a rate scan waits for answers ends the command soon, with status 1, and the
// probe that would put the reader into its loader is never sent.
TEST_P(ScanInterruptTest, EndsSoonWithoutTheProbe) {
    ASSERT_NO_FATAL_FAILURE(StartSim({"--drop-every", "1"}));
    std::vector<std::string> command = GetParam().command;
    const std::string image = dir.PathOf("fw.bin");
    std::ofstream(image, std::ios::binary) << std::string(100, '\x11');
    std::replace(command.begin(), command.end(), std::string("PORT"), sim.Port());
    std::replace(command.begin(), command.end(), std::string("FIRMWARE"), image);
    const std::string tool = command[0];
    command.erase(command.begin());
    ToolProcess run(tool, command);
    ASSERT_TRUE(SimSaid("received Stop"));  // the scan is under way
    const auto signalled = std::chrono::steady_clock::now();
    run.Signal(SIGINT);
    const ToolResult r = run.Finish(std::chrono::seconds(10));
    const auto took = std::chrono::steady_clock::now() - signalled;
    EXPECT_EQ(r.exitStatus, 1) << r.out << r.err;
    EXPECT_THAT(r.out + r.err, HasSubstr(GetParam().said));
    // Loose: the scan itself would take 6.5 s more.
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_FALSE(ProbeReachedTheReader());
}

const std::vector<InterruptCase> kInterruptCases{
    {"Doctor",
     {TESMARLE_CLI_PATH, "-p", "PORT", "doctor", "--loader"},
     "stopped: the stop request came before the reader was asked at every rate"},
    {"AutoBaud",
     {TESMARLE_CLI_PATH, "-p", "PORT", "-b", "auto", "read"},
     "-b auto: stopped before the reader was found"},
#ifdef FERROWIN_CLI_PATH
    {"DeviceBaudAuto",
     {FERROWIN_CLI_PATH, "-p", "PORT", "--device-baud", "auto", "--download-baud", "115200",
      "FIRMWARE"},
     "--device-baud auto: stopped before the reader was found"},
#endif
};

INSTANTIATE_TEST_SUITE_P(Scans, ScanInterruptTest, ::testing::ValuesIn(kInterruptCases),
                         [](const ::testing::TestParamInfo<InterruptCase>& info) {
                             return info.param.name;
                         });

// A name that is there but has no device behind it (ENXIO, as /dev/tty without a terminal or a
// socket) is not said to be absent.
TEST_F(DoctorEndToEndTest, MissingPortIsSaidToBeMissing) {
    const std::string port = "/dev/ttyUSB_no_such_adapter";
    const ToolResult text = Tesmarle({"-p", port, "doctor"});
    EXPECT_EQ(text.exitStatus, 1);
    EXPECT_THAT(text.out, HasSubstr("device missing: " + port + " does not exist"));
    const ToolResult json = Tesmarle({"-p", port, "doctor", "--json"});
    EXPECT_EQ(json.exitStatus, 1);
    EXPECT_THAT(json.out, HasSubstr("\"missing\": true"));

    const std::string socketPath = dir.PathOf("s");
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const ToolResult named = Tesmarle({"-p", socketPath, "doctor"});
    ::close(listening);
    EXPECT_EQ(named.exitStatus, 1);
    EXPECT_THAT(named.out,
                HasSubstr("device missing: " + socketPath + ": no such device or address"));
}

// Runs tesmarle-cli as `nobody`, without supplementary groups. The ThreadSanitizer build's
// suppressions file lies in the checkout, which nobody may not enter (a clone in root's home),
// and a sanitizer that cannot read it ends the program at once: the child goes without it, as
// it links nothing that the file suppresses. The options are set while still root: only
// setpriv's own start of the program reaches it in such a checkout.
ToolResult RunAsNobody(const std::vector<std::string>& args) {
    std::vector<std::string> command;
    if (const char* options = std::getenv("TSAN_OPTIONS")) {
        command = {
            "/usr/bin/env",
            "TSAN_OPTIONS=" + std::regex_replace(options, std::regex("suppressions=[^ :,]*"), "")};
    }
    command.insert(command.end(), {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                   "--clear-groups", TESMARLE_CLI_PATH});
    command.insert(command.end(), args.begin(), args.end());
    return RunTool(command);
}

class DoctorPermissionTest : public DoctorEndToEndTest,
                             public ::testing::WithParamInterface<std::string> {};

// Root's group gets a udev rule in the advice, never `usermod -aG root`.
TEST_P(DoctorPermissionTest, PortTheUserMayNotOpenNamesItsGroupAndTheWayIn) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to become an unprivileged user";
    }
    const std::string groupName = GetParam();
    const group* owner = ::getgrnam(groupName.c_str());
    if (owner == nullptr) {
        GTEST_SKIP() << "no " << groupName << " group on this machine";
    }
    if (!std::filesystem::exists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "no setpriv to become an unprivileged user with";
    }
    StartSim({});
    // As a real adapter's device: owned by root and the group, rw for both only.
    ASSERT_EQ(::chown(sim.Port().c_str(), 0, owner->gr_gid), 0);
    ASSERT_EQ(::chmod(sim.Port().c_str(), 0660), 0);

    const ToolResult text = RunAsNobody({"-p", sim.Port(), "doctor"});
    EXPECT_EQ(text.exitStatus, 1);
    if (groupName == "root") {
        EXPECT_THAT(text.out, HasSubstr("permission: " + sim.Port() +
                                        " belongs to group root, which is no group to add a user "
                                        "to; give the device to the users' group dialout with a "
                                        "udev rule"));
        EXPECT_THAT(text.out, Not(HasSubstr("usermod -aG root")));
    } else {
        EXPECT_THAT(text.out, HasSubstr("permission: " + sim.Port() +
                                        " belongs to group dialout, and this user is not in it. "
                                        "Add the user to it with: sudo usermod -aG dialout $USER"));
    }
    const ToolResult json = RunAsNobody({"-p", sim.Port(), "doctor", "--json"});
    EXPECT_EQ(json.exitStatus, 1);
    EXPECT_THAT(json.out, HasSubstr("\"group\": \"" + groupName + "\", \"userInGroup\": false"));
}

INSTANTIATE_TEST_SUITE_P(Groups, DoctorPermissionTest, ::testing::Values("dialout", "root"));

class AutoBaudTest : public DoctorEndToEndTest, public ::testing::WithParamInterface<int> {};

TEST_P(AutoBaudTest, ReadFindsTheReadersRateAndSaysWhichItFound) {
    StartSim({"--baud", std::to_string(GetParam())});
    const ToolResult r = Tesmarle({"-p", sim.Port(), "-b", "auto", "read", "--json"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("found the reader at " + std::to_string(GetParam()) + " baud"));
    EXPECT_THAT(r.out, HasSubstr("\"power\": 30"));
}

INSTANTIATE_TEST_SUITE_P(Rates, AutoBaudTest, ::testing::Values(9600, 115200));

TEST_F(DoctorEndToEndTest, AutoBaudWithNoReaderFailsSayingSo) {
    StartSim({"--silent-after", "0"});
    const ToolResult r = Tesmarle({"-p", sim.Port(), "-b", "auto", "read"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_THAT(r.err, HasSubstr("the reader answered Stop at no rate"));
}

// A number of a --json or --report line: "key": value.
double JsonNumber(const std::string& json, const std::string& key) {
    std::smatch m;
    if (!std::regex_search(json, m, std::regex("\"" + key + "\": ([0-9.]+)"))) {
        ADD_FAILURE() << "no " << key << " in " << json;
        return -1;
    }
    return std::stod(m[1]);
}

class DoctorTurnaroundTest : public DoctorEndToEndTest,
                             public ::testing::WithParamInterface<int> {};

// The doctor's figure is the median of 20 Stop exchanges, so the stray slow read leaves it within
// a millisecond of how long the reader takes; above 4 ms it says so. A machine busy throughout a
// run (the whole suite at -j2 beside other builds) delays most exchanges alike and the median with
// them: such a run is asked again, up to three in all, since load only ever adds. No run may come
// out below the reader's own turnaround.
TEST_P(DoctorTurnaroundTest, FigureIsWithinAMillisecondOfTheReadersTurnaround) {
    const int turnaroundMs = GetParam();
    StartSim({"--baud", "115200", "--turnaround-ms", std::to_string(turnaroundMs), "--frame-writes",
              "--spin-us", "300"});
    ToolResult r;
    double measured = -1;
    for (int run = 0; run < 3 && !(measured >= 0 && measured <= turnaroundMs + 1.0); ++run) {
        r = Tesmarle({"-p", sim.Port(), "doctor", "--json"});
        ASSERT_EQ(r.exitStatus, 0) << r.out << r.err;
        measured = JsonNumber(r.out, "turnaroundMs");
        std::printf("readersim --turnaround-ms %d: the doctor says %.3f ms (longest %.3f ms)\n",
                    turnaroundMs, measured, JsonNumber(r.out, "longestTurnaroundMs"));
        ASSERT_GE(measured, turnaroundMs - 0.1) << r.out;
    }
    EXPECT_NEAR(measured, turnaroundMs, 1.0) << r.out;
    EXPECT_EQ(r.out.find("slow answers: the adapter holds replies for about") != std::string::npos,
              turnaroundMs > 4)
        << r.out;
}

INSTANTIATE_TEST_SUITE_P(Readers, DoctorTurnaroundTest, ::testing::Values(0, 2, 16),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "TurnaroundMs" + std::to_string(info.param);
                         });

#ifdef FERROWIN_CLI_PATH
struct PredictionCase {
    int baud;
    std::size_t imageSize;
};

class DoctorPredictionTest : public DoctorEndToEndTest,
                             public ::testing::WithParamInterface<PredictionCase> {};

// What the doctor's turnaround predicts for a download is close to the time ferrowin-cli then
// takes for it (at 9600 baud an image of 100 frames, the prediction scaled to it), and so is
// what ferrowin-cli's report predicts from the turnaround its acknowledgements showed.
TEST_P(DoctorPredictionTest, PredictedDownloadTimeIsCloseToAMeasuredOne) {
    const PredictionCase c = GetParam();
    const std::string baud = std::to_string(c.baud);
    StartSim({"--baud", baud, "--turnaround-ms", "2", "--frame-writes", "--spin-us", "300"});
    const std::string image = dir.PathOf("fw.bin");
    std::ofstream(image, std::ios::binary) << std::string(c.imageSize, '\x3C');
    const std::string report = dir.PathOf("download.jsonl");

    // The download's own work between frames (two thread hand-offs in ferrowin-cli) grows with
    // the machine's load, which the Stop exchanges before it cannot see: at rest the doctor's
    // prediction is within 3 %, under the whole suite's load it has fallen more than 5 % short.
    // So a pair of runs outside 5 % is made again, up to three in all, and the last is held only
    // to a third, which a wrong formula misses but a loaded machine (doctor and download see
    // different loads) does not; the formula itself is exact on the manual clock's tests. The
    // report's own prediction, from the turnaround of the same download, is held to 5 % each time.
    double predicted = 0;
    double measured = 1;
    for (int run = 0; run < 3 && std::abs(predicted - measured) > measured * 0.05; ++run) {
        const ToolResult doctor = Tesmarle({"-p", sim.Port(), "doctor", "--json"});
        ASSERT_EQ(doctor.exitStatus, 0) << doctor.out << doctor.err;
        const double turnaroundMs = JsonNumber(doctor.out, "turnaroundMs");
        std::filesystem::remove(report);
        const ToolResult r = RunTool({FERROWIN_CLI_PATH, "-p", sim.Port(), "--device-baud", baud,
                                      "--download-baud", baud, "--report", report, image},
                                     std::chrono::seconds(100));
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const std::string line = TempFolder::ReadFile(report);
        measured = JsonNumber(line, "seconds");
        predicted =
            std::chrono::duration<double>(
                UpgradeDuration(static_cast<int>(c.imageSize), c.baud,
                                std::chrono::microseconds(std::lround(turnaroundMs * 1000))))
                .count();
        std::printf(
            "%d baud, %zu bytes: the doctor's turnaround %.3f ms predicts %.3f s; "
            "ferrowin-cli took %.3f s and predicted %.3f s from its %.3f ms\n",
            c.baud, c.imageSize, turnaroundMs, predicted, measured,
            JsonNumber(line, "predictedSeconds"), JsonNumber(line, "turnaroundMs"));
        EXPECT_NEAR(JsonNumber(line, "predictedSeconds"), measured, measured * 0.05) << line;
        EXPECT_GE(JsonNumber(line, "turnaroundMs"), 2.0) << line;
    }
    EXPECT_NEAR(predicted, measured, measured * 0.35);
}

INSTANTIATE_TEST_SUITE_P(Rates, DoctorPredictionTest,
                         ::testing::Values(PredictionCase{115200, 65535},
                                           PredictionCase{9600, 6400}),
                         [](const ::testing::TestParamInfo<PredictionCase>& info) {
                             return "At" + std::to_string(info.param.baud);
                         });

struct DeviceBaudCase {
    int baud;
    bool loader;
};

class DeviceBaudAutoTest : public DoctorEndToEndTest,
                           public ::testing::WithParamInterface<DeviceBaudCase> {};

// The reader's working rate found with Stop, or its loader found with the probe: either way
// the image arrives whole.
TEST_P(DeviceBaudAutoTest, DownloadFindsTheReadersRateAndDelivers) {
    const DeviceBaudCase c = GetParam();
    const std::string image = dir.PathOf("fw.bin");
    const std::string received = dir.PathOf("received.bin");
    std::string bytes(300, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 + 3);
    }
    std::ofstream(image, std::ios::binary) << bytes;
    std::vector<std::string> args{"--baud", std::to_string(c.baud), "--firmware-out", received};
    if (c.loader) {
        args.push_back("--loader");
    }
    StartSim(args);

    const ToolResult r = RunTool({FERROWIN_CLI_PATH, "-p", sim.Port(), "--device-baud", "auto",
                                  "--download-baud", "115200", image});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_THAT(r.err,
                HasSubstr(c.loader ? "found the reader's upgrade loader at " +
                                         std::to_string(c.baud) + " baud"
                                   : "found the reader at " + std::to_string(c.baud) + " baud"));
    sim.Stop();
    std::ifstream in(received, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
}

// The rate the doctor advises for a loader it found is the one the download works at.
TEST_F(DoctorEndToEndTest, LoaderAdviceLeadsToADownloadThatWorks) {
    const std::string image = dir.PathOf("fw.bin");
    const std::string received = dir.PathOf("received.bin");
    const std::string bytes(200, '\x5a');
    std::ofstream(image, std::ios::binary) << bytes;
    ASSERT_NO_FATAL_FAILURE(StartSim({"--baud", "115200", "--loader", "--firmware-out", received}));

    const ToolResult doctor = Tesmarle({"-p", sim.Port(), "doctor", "--loader"});
    std::smatch advised;
    ASSERT_TRUE(std::regex_search(doctor.out, advised, std::regex("--device-baud ([0-9]+)")))
        << doctor.out;
    const ToolResult r = RunTool({FERROWIN_CLI_PATH, "-p", sim.Port(), "--device-baud",
                                  advised[1].str(), "--download-baud", "115200", image});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    sim.Stop();
    EXPECT_EQ(TempFolder::ReadFile(received), bytes);
}

INSTANTIATE_TEST_SUITE_P(Rates, DeviceBaudAutoTest,
                         ::testing::Values(DeviceBaudCase{9600, false},
                                           DeviceBaudCase{115200, false},
                                           DeviceBaudCase{115200, true}),
                         [](const ::testing::TestParamInfo<DeviceBaudCase>& info) {
                             return std::string(info.param.loader ? "LoaderAt" : "ReaderAt") +
                                    std::to_string(info.param.baud);
                         });
#endif

}  // namespace
}  // namespace uhf::test
