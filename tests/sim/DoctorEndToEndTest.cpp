// tesmarle-cli doctor and -b auto against readersim over a pseudo-terminal: the rate and mode
// the reader answers in, and what keeps a user from the port (held, missing, not permitted).
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"
#include "serial/NativeSerialPort.h"

namespace uhf {
namespace {

using test::ReadersimProcess;
using test::RunTool;
using test::ToolResult;
using ::testing::HasSubstr;

class DoctorEndToEndTest : public ::testing::Test {
  protected:
    void StartSim(const std::vector<std::string>& args) {
        ASSERT_TRUE(sim.Start(READERSIM_PATH, args));
    }
    static ToolResult Tesmarle(const std::vector<std::string>& args) {
        std::vector<std::string> command{TESMARLE_CLI_PATH};
        command.insert(command.end(), args.begin(), args.end());
        return RunTool(command);
    }

    ReadersimProcess sim;
};

struct AnswerCase {
    int baud;
    bool loader;
};

class DoctorFindsTheReaderTest : public DoctorEndToEndTest,
                                 public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(DoctorFindsTheReaderTest, NamesTheRateAndModeTheReaderAnswersIn) {
    const AnswerCase c = GetParam();
    std::vector<std::string> args{"--baud", std::to_string(c.baud)};
    if (c.loader) {
        args.push_back("--loader");
    }
    StartSim(args);
    const std::string mode = c.loader ? "upgrade loader" : "parameter protocol";

    const ToolResult text = Tesmarle({"-p", sim.Port(), "doctor"});
    EXPECT_EQ(text.exitStatus, 0) << text.out << text.err;
    EXPECT_THAT(text.out, HasSubstr("reader: " + mode + " at " + std::to_string(c.baud)));

    if (c.loader) {
        sim.Stop();  // the probe took the loader into an upgrade: start it afresh
        StartSim(args);
    }
    const ToolResult json = Tesmarle({"-p", sim.Port(), "doctor", "--json"});
    EXPECT_EQ(json.exitStatus, 0) << json.out << json.err;
    EXPECT_THAT(json.out, HasSubstr("\"answered\": true"));
    EXPECT_THAT(json.out,
                HasSubstr("\"mode\": \"" + mode + "\", \"baud\": " + std::to_string(c.baud)));
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
    EXPECT_THAT(r.out,
                HasSubstr("no answer at any rate: check power and wiring, TX/RX may be swapped"));
}

TEST_F(DoctorEndToEndTest, HeldPortIsBusyAndNamesTheProcessHoldingIt) {
    StartSim({});
    NativeSerialPort held;
    ASSERT_EQ(held.Open(sim.Port(), 9600), SerialError::None);
    std::ifstream commFile("/proc/self/comm");
    std::string comm;
    std::getline(commFile, comm);
    const std::string holder = "process " + std::to_string(::getpid()) + " (" + comm + ")";

    const ToolResult text = Tesmarle({"-p", sim.Port(), "doctor"});
    EXPECT_EQ(text.exitStatus, 1);
    EXPECT_THAT(text.out, HasSubstr("busy: " + sim.Port() + " is held by " + holder));
    const ToolResult json = Tesmarle({"-p", sim.Port(), "doctor", "--json"});
    EXPECT_EQ(json.exitStatus, 1);
    EXPECT_THAT(json.out, HasSubstr("{\"pid\": " + std::to_string(::getpid()) + ", \"name\": \"" +
                                    comm + "\"}"));
}

TEST_F(DoctorEndToEndTest, MissingPortIsSaidToBeMissing) {
    const std::string port = "/dev/ttyUSB_no_such_adapter";
    const ToolResult text = Tesmarle({"-p", port, "doctor"});
    EXPECT_EQ(text.exitStatus, 1);
    EXPECT_THAT(text.out, HasSubstr("device missing: " + port + " does not exist"));
    const ToolResult json = Tesmarle({"-p", port, "doctor", "--json"});
    EXPECT_EQ(json.exitStatus, 1);
    EXPECT_THAT(json.out, HasSubstr("\"missing\": true"));
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

TEST_F(DoctorEndToEndTest, PortTheUserMayNotOpenNamesItsGroupAndTheUsermodLine) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to become an unprivileged user";
    }
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr) {
        GTEST_SKIP() << "no dialout group on this machine";
    }
    if (!std::filesystem::exists("/usr/bin/setpriv")) {
        GTEST_SKIP() << "no setpriv to become an unprivileged user with";
    }
    StartSim({});
    // As a real adapter's device: owned by root and group dialout, rw for both only.
    ASSERT_EQ(::chown(sim.Port().c_str(), 0, dialout->gr_gid), 0);
    ASSERT_EQ(::chmod(sim.Port().c_str(), 0660), 0);

    const ToolResult text = RunAsNobody({"-p", sim.Port(), "doctor"});
    EXPECT_EQ(text.exitStatus, 1);
    EXPECT_THAT(text.out,
                HasSubstr("permission: " + sim.Port() +
                          " belongs to group dialout, and this user is not in it. Add the user "
                          "to it with: sudo usermod -aG dialout $USER"));
    const ToolResult json = RunAsNobody({"-p", sim.Port(), "doctor", "--json"});
    EXPECT_EQ(json.exitStatus, 1);
    EXPECT_THAT(json.out, HasSubstr("\"group\": \"dialout\", \"userInGroup\": false"));
}

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

#ifdef FERROWIN_CLI_PATH
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
    const test::TempFolder dir;
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
}  // namespace uhf
