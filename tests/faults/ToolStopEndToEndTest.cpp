// Both command-line tools run as processes: a stop request ends what they wait for and comes
// before any step that changes a reader; results that would be lost stop them before they start.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "fakes/PtyReaderPeer.h"
#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"

namespace uhf {
namespace {

using test::FakeReader;
using test::PtyReaderPeer;
using test::TempFolder;
using test::ToolProcess;
using test::ToolStreams;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Args = std::vector<std::string>;

const PtyReaderPeer::Id kTag{0x30, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};

enum class Tool { Tesmarle, Ferrowin };

const char* PathOf(Tool tool) {
    return tool == Tool::Tesmarle ? TESMARLE_CLI : FERROWIN_CLI;
}
Args WithProgram(Tool tool, Args args) {
    args.insert(args.begin(), PathOf(tool));
    return args;
}
std::string NameOf(Tool tool) {
    return tool == Tool::Tesmarle ? "tesmarle-cli" : "ferrowin-cli";
}
// The tool's command that talks to the readers on `ports` (a write, a download).
Args CommandOn(Tool tool, const Args& ports, const std::string& firmware = "fw.bin") {
    Args args;
    for (const std::string& port : ports) {
        args.insert(args.end(), {"-p", port});
    }
    if (tool == Tool::Tesmarle) {
        args.insert(args.end(), {"write", "--power", "99"});
    } else {
        args.insert(args.end(), {"--device-baud", "9600", "--download-baud", "9600", firmware});
    }
    return args;
}

bool AnyBlockWrite(const std::vector<PtyReaderPeer::Bytes>& requests) {
    return std::any_of(requests.begin(), requests.end(),
                       [](const auto& r) { return r.size() > 2 && r[2] == 0x62; });
}

// Names a table's tests after the `name` of their rows.
template <class Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
    return info.param.name;
}

struct SignalCase {
    int signal;
    const char* name;
};
const auto kStopSignals = testing::Values(
    SignalCase{SIGINT, "SIGINT"}, SignalCase{SIGTERM, "SIGTERM"}, SignalCase{SIGHUP, "SIGHUP"});

class StalledStandardInput : public testing::TestWithParam<SignalCase> {};

// `check --from -` fed by a writer that never writes: every stop signal ends the wait.
TEST_P(StalledStandardInput, EndsAtTheStopRequestWithNothingSent) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    int input[2];
    ASSERT_EQ(pipe2(input, O_CLOEXEC), 0);
    ToolStreams streams;
    streams.inputFd = input[0];
    ToolProcess process(TESMARLE_CLI, {"-p", peer.Path(), "check", "--from", "-"}, streams);
    close(input[0]);
    ASSERT_TRUE(process.WaitUntilCatching(GetParam().signal, milliseconds(10000)));
    std::this_thread::sleep_for(milliseconds(200));  // well into its read
    const auto sent = Clock::now();
    process.Signal(GetParam().signal);
    EXPECT_EQ(process.Wait(milliseconds(10000)), 1) << process.err;
    EXPECT_LT(Clock::now() - sent, milliseconds(2000)) << "hung in the read until killed";
    EXPECT_EQ(process.err.rfind("tesmarle-cli: --from -: stopped before the end of the input\n", 0),
              0u)
        << process.err;
    EXPECT_TRUE(peer.Requests().empty());
    close(input[1]);
}

INSTANTIATE_TEST_SUITE_P(Signals, StalledStandardInput, kStopSignals, CaseName<SignalCase>);

class StoppedWrite : public testing::TestWithParam<SignalCase> {};

// Stopped while it reads the record, `write` never writes a block.
TEST_P(StoppedWrite, SendsNoBlockWriteAndFails) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    decltype(FakeReader::memory) before{};
    peer.WithReader([&](FakeReader& reader) { before = reader.memory; });
    ToolProcess process(TESMARLE_CLI, {"-p", peer.Path(), "write", "--power", "99"});
    // Stop and the first block read are out: six more reads come before the first write.
    const auto limit = Clock::now() + std::chrono::seconds(10);
    while (peer.Requests().size() < 2 && Clock::now() < limit) {
        std::this_thread::sleep_for(milliseconds(2));
    }
    process.Signal(GetParam().signal);
    EXPECT_EQ(process.Wait(milliseconds(10000)), 1) << process.err;
    EXPECT_NE(process.err.find("failed: stopped on request before the request was sent"),
              std::string::npos)
        << process.err;
    EXPECT_FALSE(AnyBlockWrite(peer.Requests()));
    peer.WithReader([&](FakeReader& reader) {
        EXPECT_EQ(reader.blocksWritten, 0);
        EXPECT_EQ(reader.memory, before);
    });
}

INSTANTIATE_TEST_SUITE_P(Signals, StoppedWrite, kStopSignals, CaseName<SignalCase>);

// A path as one of the tools is given it.
struct PathCase {
    std::string name;
    Tool tool;
    std::string path;
};

// Each of `spellings` (a name and a path) for either tool, the name led by the tool's.
std::vector<PathCase> ForEitherTool(
    const std::vector<std::pair<std::string, std::string>>& spellings) {
    std::vector<PathCase> cases;
    for (const Tool tool : {Tool::Tesmarle, Tool::Ferrowin}) {
        for (const auto& [name, path] : spellings) {
            cases.push_back(
                {(tool == Tool::Tesmarle ? "Tesmarle" : "Ferrowin") + name, tool, path});
        }
    }
    return cases;
}

// The report is `path`: under the test's folder, or an absolute path.
class ReportThatIsNoRegularFile : public testing::TestWithParam<PathCase> {};

// A FIFO would hold the open up for good; a device or a folder keeps no record. The port named
// does not exist: had it been opened first, the tool would have failed with 1 for it.
TEST_P(ReportThatIsNoRegularFile, IsAUsageErrorBeforeAnyPortIsOpened) {
    const TempFolder folder;
    ASSERT_EQ(mkfifo(folder.PathOf("fifo").c_str(), 0600), 0);
    const std::string target =
        GetParam().path[0] == '/' ? GetParam().path : folder.PathOf(GetParam().path);
    Args args = CommandOn(GetParam().tool, {"/dev/no-such-reader-port"});
    args.insert(args.begin(), {"--report", target});
    const test::ToolResult r =
        test::RunTool(WithProgram(GetParam().tool, args), milliseconds(10000));
    EXPECT_FALSE(r.hung);
    EXPECT_EQ(r.exitStatus, 2) << r.err;
    EXPECT_EQ(r.err, NameOf(GetParam().tool) + ": --report " + target + ": not a regular file\n");
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ReportThatIsNoRegularFile,
    testing::ValuesIn(ForEitherTool({{"Fifo", "fifo"}, {"Folder", "."}, {"Device", "/dev/full"}})),
    CaseName<PathCase>);

// With a report, ferrowin-cli reads the image for its digest apart from the transfer: a FIFO
// named as the firmware must not hold that read up.
TEST(FirmwareThatIsAFifo, IsRefusedWithoutWaitingForAWriter) {
    const TempFolder folder;
    ASSERT_EQ(mkfifo(folder.PathOf("fw.bin").c_str(), 0600), 0);
    Args args = CommandOn(Tool::Ferrowin, {"/dev/no-such-reader-port"}, folder.PathOf("fw.bin"));
    args.insert(args.begin(), {"--report", folder.PathOf("report.jsonl")});
    const test::ToolResult r =
        test::RunTool(WithProgram(Tool::Ferrowin, args), milliseconds(10000));
    EXPECT_FALSE(r.hung);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("Fail to read the firmware file."), std::string::npos) << r.err;
}

// Starts `program` with every file it writes limited to `bytes`, as `ulimit -f` does.
std::unique_ptr<ToolProcess> StartWithFileSizeLimit(const std::string& program, const Args& args,
                                                    rlim_t bytes) {
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit limited = old;
    limited.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limited);
    auto process = std::make_unique<ToolProcess>(program, args);
    setrlimit(RLIMIT_FSIZE, &old);
    return process;
}

// The run itself succeeds; the report file has reached its size limit, and the line is lost.
TEST(LostReportLine, FailsEitherTool) {
    const TempFolder folder;
    const std::string report = folder.PathOf("report.jsonl");
    const std::string earlier(1024, 'x');
    folder.Write("report.jsonl", earlier);
    folder.Write("fw.bin", std::string(200, '\x5A'));

    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    auto tesmarle = StartWithFileSizeLimit(
        TESMARLE_CLI, {"-p", peer.Path(), "read", "--report", report}, earlier.size());
    EXPECT_EQ(tesmarle->Wait(), 1) << tesmarle->err;
    EXPECT_NE(tesmarle->out.find("power"), std::string::npos) << "the read itself was done";
    EXPECT_NE(tesmarle->err.find("tesmarle-cli: --report: the line could not be written"),
              std::string::npos)
        << tesmarle->err;

    test::ReadersimProcess sim;
    ASSERT_TRUE(sim.Start(READERSIM_PATH, {}));
    auto ferrowin =
        StartWithFileSizeLimit(FERROWIN_CLI,
                               {"--report", report, "-p", sim.Port(), "--device-baud", "9600",
                                "--download-baud", "9600", folder.PathOf("fw.bin")},
                               earlier.size());
    EXPECT_EQ(ferrowin->Wait(), 1) << ferrowin->err;
    EXPECT_NE(ferrowin->err.find("Upgrade file transferred successfully."), std::string::npos)
        << ferrowin->err;
    EXPECT_NE(ferrowin->err.find("ferrowin-cli: --report: the line for " + sim.Port() +
                                 " could not be written"),
              std::string::npos)
        << ferrowin->err;
    EXPECT_EQ(folder.Read("report.jsonl"), earlier);
}

struct ClosedOutputCase {
    const char* name;
    Tool tool;
    Args command;  // after -p PORT (ferrowin-cli: -p PORT -p PORT2); none for `ports`
};

class ClosedStandardOutput : public testing::TestWithParam<ClosedOutputCase> {};

// `>&-`: the result would vanish, so the command does not start.
TEST_P(ClosedStandardOutput, RefusesToStartAndSendsNothing) {
    PtyReaderPeer first({kTag});
    PtyReaderPeer second({kTag});
    ASSERT_TRUE(first.Ok() && second.Ok());
    const ClosedOutputCase& c = GetParam();
    Args args;
    if (c.tool == Tool::Ferrowin) {
        args = CommandOn(Tool::Ferrowin, {first.Path(), second.Path()});
    } else if (c.command.front() != "ports") {
        args = {"-p", first.Path()};
    }
    args.insert(args.end(), c.command.begin(), c.command.end());
    const test::ToolResult r = test::RunTool(WithProgram(c.tool, args), milliseconds(10000),
                                             ToolStreams::WithOutput(ToolStreams::Output::Closed));
    EXPECT_EQ(r.exitStatus, 1) << r.err;
    EXPECT_EQ(r.err, NameOf(c.tool) +
                         ": standard output is closed: the result would be lost, so nothing was "
                         "done\n");
    for (PtyReaderPeer* peer : {&first, &second}) {
        EXPECT_TRUE(peer->Requests().empty());
        EXPECT_EQ(peer->NoiseReceived(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ClosedStandardOutput,
    testing::Values(ClosedOutputCase{"Read", Tool::Tesmarle, {"read"}},
                    ClosedOutputCase{"ReadJson", Tool::Tesmarle, {"read", "--json"}},
                    ClosedOutputCase{
                        "TagsCsv", Tool::Tesmarle, {"tags", "--seconds", "1", "--csv"}},
                    ClosedOutputCase{"Write", Tool::Tesmarle, {"write", "--power", "5"}},
                    ClosedOutputCase{"Doctor", Tool::Tesmarle, {"doctor"}},
                    ClosedOutputCase{"Ports", Tool::Tesmarle, {"ports"}},
                    ClosedOutputCase{"FerrowinTable", Tool::Ferrowin, {}}),
    CaseName<ClosedOutputCase>);

// The first port is the link "reader" in the working folder, the second `path` (the link's
// target when empty).
class SamePortTwice : public testing::TestWithParam<PathCase> {};

TEST_P(SamePortTwice, IsAUsageErrorBeforeAnythingIsOpened) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    const TempFolder folder;
    ASSERT_EQ(symlink(peer.Path().c_str(), folder.PathOf("reader").c_str()), 0);
    const std::string second = GetParam().path.empty() ? peer.Path() : GetParam().path;
    ToolStreams streams;
    streams.workingDir = folder.Path().string();
    const test::ToolResult r =
        test::RunTool(WithProgram(GetParam().tool, CommandOn(GetParam().tool, {"reader", second})),
                      milliseconds(10000), streams);
    EXPECT_EQ(r.exitStatus, 2) << r.err;
    EXPECT_NE(r.err.find("-p reader and -p " + second + " name the same port"), std::string::npos)
        << r.err;
    EXPECT_TRUE(peer.Requests().empty());
}

INSTANTIATE_TEST_SUITE_P(Spellings, SamePortTwice,
                         testing::ValuesIn(ForEitherTool({{"SameName", "reader"},
                                                          {"DotSlash", "./reader"},
                                                          {"LinkAndTarget", ""}})),
                         CaseName<PathCase>);

// `tags | head -40` with a reader reporting 50 tags a second: the rows come as the reports do,
// not in bursts seconds apart.
TEST(TagsToAPipe, EachRowComesAsItsReportDoes) {
    PtyReaderPeer peer({kTag}, milliseconds(20));
    ASSERT_TRUE(peer.Ok());
    ToolProcess process(TESMARLE_CLI, {"-p", peer.Path(), "tags", "--seconds", "8"});
    const auto start = Clock::now();
    std::vector<Clock::duration> arrivals;
    for (int row = 1; row <= 40; ++row) {
        const std::string text = (row == 1 ? "" : "\n") + std::to_string(row) + "  30 00";
        ASSERT_TRUE(process.WaitForOutput(text, milliseconds(8000))) << process.out << process.err;
        arrivals.push_back(Clock::now() - start);
    }
    process.CloseOutput();
    EXPECT_EQ(process.Wait(), 1) << "the pipe closed";
    EXPECT_LT(arrivals.front(), std::chrono::seconds(3)) << "the first row, of an 8 s run";
    Clock::duration longestGap{};
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        longestGap = std::max(longestGap, arrivals[i] - arrivals[i - 1]);
    }
    EXPECT_LT(longestGap, milliseconds(1000)) << "rows held back";
}

}  // namespace
}  // namespace uhf
