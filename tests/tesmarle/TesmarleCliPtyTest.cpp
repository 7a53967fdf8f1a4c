#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "fakes/PtyReaderPeer.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"
#include "serial/NativeSerialPort.h"
#include "serial/SerialError.h"

namespace uhf::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

const PtyReaderPeer::Id kTagA{0x30, 0x00, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
const PtyReaderPeer::Id kTagB{0xE2, 0x00, 0x00, 0x17, 0x22, 0x11, 0x01, 0x45};

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunCli(const std::vector<std::string>& args) {
    ToolProcess process(TESMARLE_CLI, args);
    EXPECT_TRUE(process.Started());
    const int status = process.Wait();
    return {status, process.out, process.err};
}

int CountLines(const std::string& text) {
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
}

TEST(TesmarleCliPty, ReadStopsTheReaderAndPrintsItsParameters) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    const Result r = RunCli({"-p", peer.Path(), "-b", "115200", "read"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("power                  30\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("protocol               3 (Wiegand32)"), std::string::npos);
    EXPECT_TRUE(r.err.empty()) << r.err;
    const auto requests = peer.Requests();
    ASSERT_EQ(requests.size(), 8u);
    EXPECT_EQ(requests[0], kStopRequest);
    EXPECT_EQ(requests[1], (Bytes{0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92}));
}

TEST(TesmarleCliPty, SettingsReadAsJsonAreCopiedToAnotherReader) {
    PtyReaderPeer source;
    PtyReaderPeer target;
    ASSERT_TRUE(source.Ok() && target.Ok());
    // 100: carried bytes differ between the two readers.
    source.WithReader([](FakeReader& r) {
        r.Set({{100, 0x55}, {101, 200}, {114, 1}, {115, 4}, {135, 0}, {144, 0}});
    });
    const Result read = RunCli({"-p", source.Path(), "read", "--json"});
    ASSERT_EQ(read.status, 0) << read.err;
    const TempFolder folder;
    const std::string file = folder.PathOf("copy.json");
    std::ofstream(file) << read.out;

    const Result write =
        RunCli({"-p", target.Path(), "write", "--from", file, "--pulse-width", "33"});
    EXPECT_EQ(write.status, 0) << write.err;
    EXPECT_NE(write.out.find("power: 30 \u2192 200\n"), std::string::npos) << write.out;
    EXPECT_NE(write.out.find("protocol: 3 (Wiegand32) \u2192 4 (Wiegand40)"), std::string::npos);
    EXPECT_NE(write.out.find("written\n"), std::string::npos);
    // 100 stays as this reader held it; at 116 the option wins over the file.
    const FakeReader::Cells written{{100, 7},  {101, 200}, {114, 1}, {115, 4},
                                    {116, 33}, {135, 0},   {144, 0}, {138, 0xAB}};
    target.WithReader([&](FakeReader& r) { EXPECT_EQ(r.At(written), written); });
}

TEST(TesmarleCliPty, ResumeSendsTheResumeRequest) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    const Result r = RunCli({"-p", peer.Path(), "resume"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(peer.Requests(), std::vector<Bytes>{kResumeRequest});
    peer.WithReader([](FakeReader& reader) { EXPECT_TRUE(reader.working); });
}

TEST(TesmarleCliPty, TagsForSomeSecondsAsCsv) {
    PtyReaderPeer peer({kTagA, kTagB});
    ASSERT_TRUE(peer.Ok());
    const Result r = RunCli({"-p", peer.Path(), "tags", "--seconds", "1.5", "--csv"});
    EXPECT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out.rfind("n,tag\n", 0), 0u) << r.out;
    // Rows are numbered from 1; the first tag may have gone by with the Resume reply.
    EXPECT_EQ(r.out.find("1,", 6), 6u) << r.out;
    EXPECT_NE(r.out.find(",3000123456789ABC\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",E200001722110145\n"), std::string::npos) << r.out;
    const int rows = CountLines(r.out) - 1;
    EXPECT_GE(rows, 2);
    EXPECT_EQ(r.err, std::to_string(rows) + " reports, 2 distinct tags\n");
    const auto requests = peer.Requests();
    ASSERT_GE(requests.size(), 3u);
    EXPECT_EQ(requests[0], kStopRequest);
    EXPECT_EQ(requests[1], kResumeRequest);
    EXPECT_EQ(requests.back(), kStopRequest);
    peer.WithReader([](FakeReader& reader) { EXPECT_FALSE(reader.working); });
}

struct SignalCase {
    int signal;
    const char* name;
    int status;  // a hang-up means the terminal is gone: the run fails
};

class TagsSignal : public testing::TestWithParam<SignalCase> {};

TEST_P(TagsSignal, EndsCollectionStopsTheReaderAndSummarises) {
    PtyReaderPeer peer({kTagA});
    ASSERT_TRUE(peer.Ok());
    ToolProcess process(TESMARLE_CLI, {"-p", peer.Path(), "tags"});
    ASSERT_TRUE(process.Started());
    ASSERT_TRUE(process.WaitForOutput("1  30 00 12 34 56 78 9A BC\n", milliseconds(10000)))
        << process.out << process.err;
    process.Signal(GetParam().signal);
    EXPECT_EQ(process.Wait(), GetParam().status) << process.err;
    EXPECT_NE(process.out.find(" distinct tag\n"), std::string::npos) << process.out;
    EXPECT_EQ(peer.Requests().back(), kStopRequest);
    peer.WithReader([](FakeReader& reader) { EXPECT_FALSE(reader.working); });
}

INSTANTIATE_TEST_SUITE_P(Signals, TagsSignal,
                         testing::Values(SignalCase{SIGINT, "SIGINT", 0},
                                         SignalCase{SIGTERM, "SIGTERM", 0},
                                         SignalCase{SIGHUP, "SIGHUP", 1}),
                         [](const testing::TestParamInfo<SignalCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(TesmarleCliPty, TagsAsJsonLines) {
    PtyReaderPeer peer({kTagB});
    ASSERT_TRUE(peer.Ok());
    const Result r = RunCli({"-p", peer.Path(), "tags", "--seconds", "1", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"n\": 1, \"tag\": \"E200001722110145\"}\n", 0), 0u) << r.out;
    EXPECT_NE(r.err.find(" distinct tag\n"), std::string::npos) << r.err;
}

// What `read --json` prints for the FakeReader's memory.
const std::string kRecordJson =
    "{\"param100\": 7, \"param112\": 2, \"cardMode\": 1, \"idBorderUponDifferent\": 1, "
    "\"power\": 30, \"connectPort\": 2, \"pulseWidth\": 10, \"pulsePeriods\": 20, "
    "\"exportTime\": 2, \"exportDistance\": 4, \"lockedFrequency\": 25, "
    "\"param132\": 9, \"protocol\": 3, \"timeDistance\": 5, \"param137\": 12}\n";

bool IsBlockRequest(const Bytes& request, std::uint8_t code, std::uint8_t address) {
    return request.size() >= 6 && request[2] == code && request[5] == address;
}

TEST(TesmarleCliPty, ReadRightAfterResumeWhileTheReaderStreamsTags) {
    PtyReaderPeer peer({kTagA, kTagB});
    ASSERT_TRUE(peer.Ok());
    peer.StreamAtLineRate(115200);
    const Result resume = RunCli({"-p", peer.Path(), "-b", "115200", "resume"});
    ASSERT_EQ(resume.status, 0) << resume.err;
    const Result read = RunCli({"-p", peer.Path(), "-b", "115200", "read", "--json"});
    EXPECT_EQ(read.status, 0) << read.err;
    EXPECT_EQ(read.out, kRecordJson);
    EXPECT_GT(peer.TagsSent(), 10) << "the reader was streaming when the read began";
    peer.WithReader([](FakeReader& reader) { EXPECT_FALSE(reader.working); });
}

struct LateCopy {
    const char* name;
    std::chrono::milliseconds delay;
    bool withNextRequest;
};

class TesmarleCliLateCopy : public testing::TestWithParam<LateCopy> {};

// The reader sends its answer to the block read at 123 twice. The copy must never be taken for
// the answer at 132 (nor written back there): the command either reads right or fails.
TEST_P(TesmarleCliLateCopy, ChangesNoField) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.RepeatReply([](const Bytes& r) { return IsBlockRequest(r, 0x63, 123); }, GetParam().delay,
                     GetParam().withNextRequest);
    // The parameter memory, addresses 100 to 144.
    auto parameters = [](const FakeReader& reader) {
        return Bytes(reader.memory.begin() + 100, reader.memory.begin() + 145);
    };
    Bytes before;
    peer.WithReader([&](FakeReader& reader) { before = parameters(reader); });

    const Result read = RunCli({"-p", peer.Path(), "read", "--json"});
    if (read.status == 0) {
        EXPECT_EQ(read.out, kRecordJson);
    } else {
        EXPECT_EQ(read.status, 1);
        EXPECT_NE(read.err.find("two different replies answered the request"), std::string::npos)
            << read.err;
    }
    const Result write = RunCli({"-p", peer.Path(), "write", "--power", "40"});
    peer.WithReader([&](FakeReader& reader) {
        Bytes expected = before;
        if (write.status == 0) {
            expected[1] = 40;  // address 101
        }
        EXPECT_EQ(parameters(reader), expected) << write.out << write.err;
    });
    if (GetParam().withNextRequest) {
        EXPECT_EQ(read.status, 1) << "the copy arrives ahead of the answer at 132";
        EXPECT_EQ(write.status, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Copies, TesmarleCliLateCopy,
                         testing::Values(LateCopy{"JustAfterTheNextRequest", milliseconds(0), true},
                                         LateCopy{"About130msLate", milliseconds(130), false}),
                         [](const testing::TestParamInfo<LateCopy>& info) {
                             return std::string(info.param.name);
                         });

TEST(TesmarleCliPty, ARefusedWriteBehindARepeatedDoneFails) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.WithReader([](FakeReader& reader) {
        reader.failWriteAt = 132;
        reader.failWriteStatus = 0x01;
    });
    peer.RepeatReply([](const Bytes& r) { return IsBlockRequest(r, 0x62, 123); }, milliseconds(0),
                     true);
    const Result r = RunCli({"-p", peer.Path(), "write", "--power", "40"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "tesmarle-cli: write parameters failed: two different replies answered the request "
              "(a late copy of an earlier one?): the reader's answer to the write of the block at "
              "address 132 was unclear, and it may have written it (already written: the blocks "
              "at 100, 112, 123); a read now shows it as meant, the same as before\n");
    EXPECT_EQ(r.out.find("written"), std::string::npos) << r.out;
}

TEST(TesmarleCliPty, SilentReaderFailsTheRead) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.WithReader([](FakeReader& reader) { reader.silent = true; });
    const Result r = RunCli({"-p", peer.Path(), "read"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "tesmarle-cli: read parameters failed: no reply from the reader\n");
    EXPECT_TRUE(r.out.empty());
}

TEST(TesmarleCliPty, InvalidRecordIsNamedAndNothingIsWritten) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    peer.WithReader([](FakeReader& reader) { reader.memory[137] = 16; });
    const Result r = RunCli({"-p", peer.Path(), "write", "--power", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("refused by IsValid"), std::string::npos) << r.err;
    peer.WithReader([](FakeReader& reader) { EXPECT_EQ(reader.blocksWritten, 0); });
}

TEST(TesmarleCliPty, OpenFailuresSayWhy) {
    const Result missing = RunCli({"-p", "/dev/no-such-reader-port", "read"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "tesmarle-cli: open /dev/no-such-reader-port failed: no such device\n");

    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    NativeSerialPort holder;
    ASSERT_EQ(holder.Open(peer.Path(), 9600), SerialError::None);
    const Result busy = RunCli({"-p", peer.Path(), "read"});
    EXPECT_EQ(busy.status, 1);
    EXPECT_NE(busy.err.find("failed: the port is busy"), std::string::npos) << busy.err;
    EXPECT_TRUE(peer.Requests().empty());
}

TEST(TesmarleCliPty, UsageErrorsExitWithTwoBeforeOpeningThePort) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    const Result r = RunCli({"-p", peer.Path(), "write", "--export-time", "5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--export-time: expected 1, 2 or 3, got '5'"), std::string::npos);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_EQ(RunCli({"read"}).status, 2);
    const Result ports = RunCli({"ports"});
    EXPECT_TRUE(ports.status == 0 || ports.status == 1) << "0 with a list, 1 with none";
    EXPECT_EQ(ports.status == 1, ports.out.empty());
    if (ports.status == 1) {
        EXPECT_EQ(ports.err, "tesmarle-cli: no serial port found\n");
    }
    const Result help = RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("tesmarle-cli -p PORT [-b BAUD] read [--json]"), std::string::npos);
}

// Output that cannot be written fails the run, whatever the command did on the line.
struct FullOutputCase {
    const char* name;
    std::vector<std::string> args;
    int power;  // in the reader afterwards
};

class OutputToAFullDevice : public testing::TestWithParam<FullOutputCase> {};

TEST_P(OutputToAFullDevice, FailsWithAMessageAndLeavesTheReaderStopped) {
    PtyReaderPeer peer({kTagA});
    ASSERT_TRUE(peer.Ok());
    std::vector<std::string> args{"-p", peer.Path()};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    ToolProcess process(TESMARLE_CLI, args, ToolStreams::WithOutput(ToolStreams::Output::Full));
    ASSERT_TRUE(process.Started());
    EXPECT_EQ(process.Wait(), 1) << process.err;
    EXPECT_NE(process.err.find("tesmarle-cli: cannot write to standard output"), std::string::npos)
        << process.err;
    peer.WithReader([](FakeReader& reader) {
        EXPECT_FALSE(reader.working);
        EXPECT_EQ(reader.memory[101], GetParam().power) << "the command itself ran";
    });
}

INSTANTIATE_TEST_SUITE_P(Commands, OutputToAFullDevice,
                         testing::Values(FullOutputCase{"ReadJson", {"read", "--json"}, 30},
                                         FullOutputCase{
                                             "TagsCsv", {"tags", "--seconds", "0.6", "--csv"}, 30},
                                         FullOutputCase{"Write", {"write", "--power", "77"}, 77}),
                         [](const testing::TestParamInfo<FullOutputCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(TesmarleCliPty, ReaderOfTheRowsGoingAwayStopsTheCollection) {
    // tesmarle-cli tags | head -1
    PtyReaderPeer peer({kTagA}, milliseconds(20));
    ASSERT_TRUE(peer.Ok());
    ToolProcess process(TESMARLE_CLI, {"-p", peer.Path(), "tags"});
    ASSERT_TRUE(process.Started());
    ASSERT_TRUE(process.WaitForOutput("1  30 00 12 34 56 78 9A BC\n", milliseconds(10000)))
        << process.err;
    process.CloseOutput();
    EXPECT_EQ(process.Wait(milliseconds(10000)), 1) << process.err;
    EXPECT_EQ(process.terminatingSignal, 0);
    EXPECT_NE(process.err.find("tesmarle-cli: cannot write to standard output"), std::string::npos)
        << process.err;
    EXPECT_EQ(peer.Requests().back(), kStopRequest);
    peer.WithReader([](FakeReader& reader) { EXPECT_FALSE(reader.working); });
}

TEST(TesmarleCliPty, WriteIntoAClosedPipeIsNotKilledAndTheWriteLands) {
    // tesmarle-cli write --power 77 | true
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    ToolProcess process(TESMARLE_CLI, {"-p", peer.Path(), "write", "--power", "77"});
    ASSERT_TRUE(process.Started());
    process.CloseOutput();
    EXPECT_EQ(process.Wait(), 1) << process.err;
    EXPECT_EQ(process.terminatingSignal, 0) << "not killed by SIGPIPE";
    EXPECT_NE(process.err.find("cannot write to standard output"), std::string::npos)
        << process.err;
    peer.WithReader([](FakeReader& reader) { EXPECT_EQ(reader.memory[101], 77); });
}

TEST(TesmarleCliPty, FromReadsOnlyRegularFilesOrStandardInput) {
    PtyReaderPeer peer;
    ASSERT_TRUE(peer.Ok());
    const TempFolder folder;
    const std::string dir = folder.Path().string();
    const std::string fifo = folder.PathOf("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    // A FIFO with no writer would hold open() up for good.
    const Result fromFifo = RunCli({"-p", peer.Path(), "write", "--from", fifo});
    EXPECT_EQ(fromFifo.status, 1) << fromFifo.err;
    EXPECT_EQ(fromFifo.err,
              "tesmarle-cli: --from " + fifo + ": cannot open the file: it is a FIFO\n");
    const Result fromDir = RunCli({"-p", peer.Path(), "write", "--from", dir});
    EXPECT_EQ(fromDir.status, 1) << fromDir.err;
    EXPECT_NE(fromDir.err.find("it is a directory"), std::string::npos) << fromDir.err;
    EXPECT_TRUE(peer.Requests().empty());

    const std::string json = folder.PathOf("power.json");
    std::ofstream(json) << "{\"power\": 91}\n";
    ToolProcess fromStdin(TESMARLE_CLI, {"-p", peer.Path(), "write", "--from", "-"},
                          ToolStreams::WithInput(json));
    ASSERT_TRUE(fromStdin.Started());
    EXPECT_EQ(fromStdin.Wait(), 0) << fromStdin.err;
    peer.WithReader([](FakeReader& reader) { EXPECT_EQ(reader.memory[101], 91); });
}

TEST(TesmarleCliPty, OpenFailureOfAPathThatIsNoDeviceSaysWhat) {
    const TempFolder folder;
    const std::string dir = folder.Path().string();
    const std::string loop = folder.PathOf("loop");
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    const Result looped = RunCli({"-p", loop, "read"});
    EXPECT_EQ(looped.status, 1);
    EXPECT_EQ(looped.err,
              "tesmarle-cli: open " + loop + " failed: too many levels of symbolic links\n");
    const Result directory = RunCli({"-p", dir, "read"});
    EXPECT_NE(directory.err.find("failed: the name is a directory, not a device"),
              std::string::npos)
        << directory.err;
}

}  // namespace
}  // namespace uhf::test
