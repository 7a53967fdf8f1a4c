// The fault matrix: each tool run as a process against readersim on a pseudo-terminal, with one
// fault (reply dropped, delayed past its window, a byte corrupted, garbage before replies, reader
// silent, port vanishing mid-exchange, tool and reader at different rates) hitting one phase.
// In every case the tool must end with a clear message and exit status 1, report nothing as
// success, leave the port reopenable, and in `write` send no block after a failed one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"

namespace uhf::faults {
namespace {

using std::chrono::milliseconds;
using test::ReadersimProcess;
using test::TempFolder;
using test::ToolProcess;
using test::ToolResult;
using test::ToolStreams;

enum class Tool { Tesmarle, Ferrowin };

struct FaultCase {
    const char* name;
    Tool tool;
    std::vector<std::string> simArgs;  // besides --baud and -v
    std::vector<std::string> toolArgs;
    std::string expected;     // what the tool must say
    int simBaud = 115200;     // the reader's working rate
    int toolBaud = 115200;    // the rate the tool is told to use
    std::string killSimOn{};  // the port vanishes once readersim has logged this
    int killSimAfterMs = 0;   // ... and this much later
    bool portGoneAtStart = false;
    int imageSize = 300;       // ferrowin: the firmware's size
    int writeBlocksSent = -1;  // write: WriteBlock requests the reader got, the last one failed
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c) {
    return out << c.name;
}

std::string ToolPath(Tool tool) {
    return tool == Tool::Tesmarle ? TESMARLE_CLI_PATH : FERROWIN_CLI_PATH;
}

int CountMatches(const std::string& text, const std::string& pattern) {
    const std::regex re(pattern);
    return static_cast<int>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), re), std::sregex_iterator()));
}

class FaultMatrixTest : public ::testing::TestWithParam<FaultCase> {
  protected:
    void TearDown() override {
        sim.Stop(SIGKILL);
        if (HasFailure()) {
            folder.Keep();
            std::cout << "what the case left: " << dir.string() << "\n";
        }
    }

    TempFolder folder;
    const std::filesystem::path dir = folder.Path();
    ReadersimProcess sim;
};

TEST_P(FaultMatrixTest, ToolEndsWithAClearMessageAndStatusOne) {
    const FaultCase& c = GetParam();
    std::vector<std::string> simArgs{"--baud", std::to_string(c.simBaud), "-v"};
    simArgs.insert(simArgs.end(), c.simArgs.begin(), c.simArgs.end());
    const std::string simLog = (dir / "readersim.log").string();
    // The tool opens the reader's link, not its pseudo-terminal, and a killed reader's link is
    // removed at once: a test running beside this one may be handed the freed /dev/pts number,
    // and a tool that opens its port again must not reach that other test's reader.
    const std::string port = (dir / "reader").string();
    simArgs.insert(simArgs.end(), {"--link", port});
    ASSERT_TRUE(sim.Start(READERSIM_PATH, simArgs, simLog));
    if (c.portGoneAtStart) {
        sim.Stop(SIGKILL);
        std::filesystem::remove(port);
    }

    std::vector<std::string> args{"-p", port};
    if (c.tool == Tool::Tesmarle) {
        args.insert(args.end(), {"-b", std::to_string(c.toolBaud)});
        args.insert(args.end(), c.toolArgs.begin(), c.toolArgs.end());
    } else {
        const std::string firmware = (dir / "firmware.bin").string();
        std::ofstream image(firmware, std::ios::binary);
        for (int i = 0; i < c.imageSize; ++i) {
            image.put(static_cast<char>(i * 13 + 5));
        }
        image.close();
        args.insert(args.end(), {"--device-baud", std::to_string(c.toolBaud), "--download-baud",
                                 std::to_string(c.toolBaud)});
        args.insert(args.end(), c.toolArgs.begin(), c.toolArgs.end());
        args.push_back(firmware);
    }

    ToolProcess tool(ToolPath(c.tool), args, ToolStreams::WithInput("/dev/null"));
    ASSERT_TRUE(tool.Started());
    if (!c.killSimOn.empty()) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (folder.Read("readersim.log").find(c.killSimOn) == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(5));
        }
        ASSERT_NE(folder.Read("readersim.log").find(c.killSimOn), std::string::npos)
            << "never reached the phase";
        std::this_thread::sleep_for(milliseconds(c.killSimAfterMs));
        sim.Stop(SIGKILL);
        std::filesystem::remove(port);
    }
    const ToolResult result = tool.Finish(milliseconds(30000));
    const std::string said = result.out + result.err;

    EXPECT_FALSE(result.hung) << "the tool did not end within 30 s; it said:\n" << said;
    EXPECT_EQ(result.exitStatus, 1) << said;
    // `expected` may name alternatives, "A|B", where a race decides which step fails first.
    bool saidIt = false;
    std::size_t from = 0;
    while (from <= c.expected.size()) {
        const std::size_t bar = std::min(c.expected.find('|', from), c.expected.size());
        saidIt = saidIt || said.find(c.expected.substr(from, bar - from)) != std::string::npos;
        from = bar + 1;
    }
    EXPECT_TRUE(saidIt) << "expected \"" << c.expected << "\" in:\n" << said;

    // Nothing reported as success.
    EXPECT_EQ(said.find("Upgrade file transferred successfully."), std::string::npos) << said;
    EXPECT_EQ(said.find("written\n"), std::string::npos) << said;
    EXPECT_EQ(said.find("resumed\n"), std::string::npos) << said;
    EXPECT_EQ(CountMatches(result.out, "\\npower +[0-9]"), 0) << "parameters shown:\n" << said;

    // The port is free again: the tool closed it, whatever happened.
    if (sim.Running()) {
        const int fd = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        EXPECT_GE(fd, 0) << port << " cannot be reopened";
        if (fd >= 0) {
            ::close(fd);
        }
    }

    if (c.writeBlocksSent >= 0) {
        sim.Stop();
        const std::string log = folder.Read("readersim.log");
        EXPECT_EQ(CountMatches(log, "received WriteBlock "), c.writeBlocksSent)
            << "no block may follow the failed one:\n"
            << log;
    }
    // For the record of the matrix: what the tool said, and how long it took.
    std::cout << "[" << c.name << " | exit " << result.exitStatus << " | " << result.elapsed.count()
              << " ms]\n"
              << said;
}

const std::string kNoReply = "no reply from the reader";
const std::string kBadChecksum = "the reader's reply had a wrong checksum";
const std::string kReadFailed = "read parameters failed";
const std::string kWriteFailed = "write parameters failed";
const std::string kStartFailed = "start tag collection failed";
const std::string kStopFailed = "stop failed";
const std::string kNoProbeAnswer = "The reader did not answer.";
const std::string kBaudTimeout = "等待超时,请检测波特率或者串口选择是否正确";
const std::string kSizeTimeout = "The reader did not answer the image size.";
const std::string kSendFailed = "文件发送失败，请重试!";
const std::string kOpenFailed = "Fail to open the serial port.";

const std::vector<std::string> kRead{"read"};
const std::vector<std::string> kWrite{"write", "--power", "20"};
const std::vector<std::string> kTags{"tags", "--seconds", "2"};

// Replies of a `read`: Stop, then the seven ReadBlocks. Of a `write`: the same, then seven
// WriteBlocks. Of a download of 300 bytes: probe, alternate probe, baud rate, size, five data
// frames, end.
std::vector<FaultCase> Cases() {
    std::vector<FaultCase> cases;
    auto add = [&cases](FaultCase c) { cases.push_back(std::move(c)); };
    // tesmarle-cli: connect.
    add({"Tesmarle_PortVanished_Connect", Tool::Tesmarle, {}, kRead, "open "});
    cases.back().portGoneAtStart = true;
    add({"Tesmarle_BaudMismatch_Connect", Tool::Tesmarle, {}, kRead, kReadFailed});
    cases.back().simBaud = 9600;
    // tesmarle-cli: read.
    add({"Tesmarle_Dropped_Read", Tool::Tesmarle, {"--drop-every", "3"}, kRead, kNoReply});
    add({"Tesmarle_Delayed_Read", Tool::Tesmarle, {"--delay-ms", "400"}, kRead, kNoReply});
    add({"Tesmarle_Corrupted_Read",
         Tool::Tesmarle,
         {"--corrupt-every", "20"},
         kRead,
         kNoReply + "|" + kBadChecksum});
    // The answer is looked for behind noise until the reply's time limit: 1000 bytes at 9600
    // baud take longer.
    add({"Tesmarle_Garbage_Read", Tool::Tesmarle, {"--garbage", "1000"}, kRead, kNoReply});
    cases.back().simBaud = cases.back().toolBaud = 9600;
    add({"Tesmarle_Silent_Read", Tool::Tesmarle, {"--silent-after", "1"}, kRead, kNoReply});
    add({"Tesmarle_PortVanished_Read", Tool::Tesmarle, {}, kRead, kReadFailed});
    cases.back().killSimOn = "received ReadBlock";
    // tesmarle-cli: write (its blocks after the seven reads).
    add({"Tesmarle_Dropped_Write", Tool::Tesmarle, {"--drop-every", "11"}, kWrite, kWriteFailed});
    cases.back().writeBlocksSent = 3;
    add({"Tesmarle_Corrupted_Write",
         Tool::Tesmarle,
         {"--corrupt-every", "83"},
         kWrite,
         kWriteFailed});
    cases.back().writeBlocksSent = 3;
    add({"Tesmarle_Silent_Write", Tool::Tesmarle, {"--silent-after", "10"}, kWrite, kWriteFailed});
    cases.back().writeBlocksSent = 3;
    add({"Tesmarle_PortVanished_Write", Tool::Tesmarle, {}, kWrite, kWriteFailed});
    cases.back().killSimOn = "received WriteBlock";
    // tesmarle-cli: tags, at the start (Resume) and at the end (Stop).
    add({"Tesmarle_Dropped_TagsStart", Tool::Tesmarle, {"--drop-every", "2"}, kTags, kStartFailed});
    // A reply window opens after the tool's 100 ms pause, so a busy machine stretches it; here
    // one late Resume answer taken in a stretched window would start the collection. Delayed
    // far beyond any stretch, it never is.
    add({"Tesmarle_Delayed_TagsStart",
         Tool::Tesmarle,
         {"--delay-ms", "2000"},
         kTags,
         kStartFailed});
    add({"Tesmarle_Corrupted_TagsStart",
         Tool::Tesmarle,
         {"--corrupt-every", "8"},
         kTags,
         kStartFailed});
    add({"Tesmarle_Garbage_TagsStart", Tool::Tesmarle, {"--garbage", "1000"}, kTags, kStartFailed});
    cases.back().simBaud = cases.back().toolBaud = 9600;
    add({"Tesmarle_Silent_TagsStart",
         Tool::Tesmarle,
         {"--silent-after", "1"},
         kTags,
         kStartFailed});
    add({"Tesmarle_BaudMismatch_TagsStart", Tool::Tesmarle, {}, kTags, kStartFailed});
    cases.back().simBaud = 9600;
    add({"Tesmarle_Silent_TagsStop",
         Tool::Tesmarle,
         {"--silent-after", "2", "--tag-rate", "20"},
         kTags,
         kStopFailed});
    add({"Tesmarle_PortVanished_Tags",
         Tool::Tesmarle,
         {"--tag-rate", "50"},
         kTags,
         "tags failed: the device was lost|" + kStopFailed});
    cases.back().killSimOn = "sent tag frame";
    cases.back().killSimAfterMs = 300;
    // ferrowin-cli: probing.
    add({"Ferrowin_Dropped_Probing", Tool::Ferrowin, {"--drop-every", "1"}, {}, kNoProbeAnswer});
    add({"Ferrowin_Delayed_Probing", Tool::Ferrowin, {"--delay-ms", "3500"}, {}, kNoProbeAnswer});
    add({"Ferrowin_Corrupted_Probing",
         Tool::Ferrowin,
         {"--corrupt-every", "1"},
         {},
         kNoProbeAnswer});
    add({"Ferrowin_Garbage_Probing", Tool::Ferrowin, {"--garbage", "10"}, {}, kNoProbeAnswer});
    add({"Ferrowin_Silent_Probing", Tool::Ferrowin, {"--silent-after", "0"}, {}, kNoProbeAnswer});
    add({"Ferrowin_BaudMismatch_Probing", Tool::Ferrowin, {}, {}, kNoProbeAnswer});
    cases.back().simBaud = 9600;
    add({"Ferrowin_PortVanished_Probing",
         Tool::Ferrowin,
         {},
         {},
         kNoProbeAnswer + "|" + kOpenFailed});
    cases.back().killSimOn = "received probe";
    // ferrowin-cli: baud-rate change.
    add({"Ferrowin_Delayed_BaudChange", Tool::Ferrowin, {"--delay-ms", "1200"}, {}, kBaudTimeout});
    add({"Ferrowin_Silent_BaudChange", Tool::Ferrowin, {"--silent-after", "2"}, {}, kBaudTimeout});
    // Gone before or after its answer left: no answer in time, or no port to reopen.
    add({"Ferrowin_PortVanished_BaudChange",
         Tool::Ferrowin,
         {},
         {},
         kBaudTimeout + "|" + kOpenFailed});
    cases.back().killSimOn = "received baud-rate frame";
    // ferrowin-cli: size announcement.
    add({"Ferrowin_Dropped_Size", Tool::Ferrowin, {"--drop-every", "4"}, {}, kSizeTimeout});
    add({"Ferrowin_Silent_Size", Tool::Ferrowin, {"--silent-after", "3"}, {}, kSizeTimeout});
    // ferrowin-cli: streaming.
    add({"Ferrowin_Dropped_Streaming", Tool::Ferrowin, {"--drop-every", "6"}, {}, kSendFailed});
    add({"Ferrowin_Corrupted_Streaming",
         Tool::Ferrowin,
         {"--corrupt-every", "28"},
         {},
         kSendFailed});
    add({"Ferrowin_Silent_Streaming", Tool::Ferrowin, {"--silent-after", "6"}, {}, kSendFailed});
    add({"Ferrowin_PortVanished_Streaming", Tool::Ferrowin, {}, {}, kSendFailed});
    cases.back().killSimOn = "received data frame";
    cases.back().imageSize = 20000;
    // ferrowin-cli: end frame.
    add({"Ferrowin_Dropped_Ending", Tool::Ferrowin, {"--drop-every", "10"}, {}, kSendFailed});
    add({"Ferrowin_Silent_Ending", Tool::Ferrowin, {"--silent-after", "9"}, {}, kSendFailed});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Matrix, FaultMatrixTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace uhf::faults
