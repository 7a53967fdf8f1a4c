// tesmarle-cli against readersim over a pseudo-terminal, with a well-behaved reader and with
// each of the faults the parameter tool must get through or fail on cleanly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "fakes/ReadersimProcess.h"
#include "fakes/SimTestSupport.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolPort.h"
#include "fakes/ToolProcess.h"

namespace uhf {
namespace {

using namespace test;
using test::ReadersimProcess;
using test::RunTool;
using test::TempFolder;
using test::ToolResult;
using ::testing::HasSubstr;
using ::testing::Not;

class TesmarleCliEndToEndTest : public ::testing::Test {
  protected:
    void TearDown() override { sim.Stop(); }
    void StartSim(const std::vector<std::string>& args) {
        ASSERT_TRUE(sim.Start(READERSIM_PATH, args, (dir / "readersim.log").string()));
    }
    ToolResult Tesmarle(std::vector<std::string> args) {
        std::vector<std::string> command{TESMARLE_CLI_PATH, "-p", sim.Port()};
        command.insert(command.end(), args.begin(), args.end());
        return RunTool(command);
    }

    TempFolder folder;
    const std::filesystem::path dir = folder.Path();
    ReadersimProcess sim;
};

TEST_F(TesmarleCliEndToEndTest, ReadShowsTheReadersFactorySettings) {
    StartSim({});
    const ToolResult r = Tesmarle({"read", "--json"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"power\": 30"));
    EXPECT_THAT(r.out, HasSubstr("\"connectPort\": 1"));
    EXPECT_THAT(r.out, HasSubstr("\"protocol\": 1"));
    EXPECT_THAT(r.out, HasSubstr("\"param137\": 2"));
}

TEST_F(TesmarleCliEndToEndTest, WrittenPowerSurvivesARestartOfTheReader) {
    const std::string state = (dir / "state.txt").string();
    StartSim({"--state", state});
    const ToolResult write = Tesmarle({"write", "--power", "77"});
    EXPECT_EQ(write.exitStatus, 0) << write.err;
    EXPECT_EQ(sim.Stop(), 0);

    StartSim({"--state", state});
    const ToolResult read = Tesmarle({"read", "--json"});
    EXPECT_EQ(read.exitStatus, 0) << read.err;
    EXPECT_THAT(read.out, HasSubstr("\"power\": 77"));
    EXPECT_THAT(read.out, HasSubstr("\"protocol\": 1"));  // the rest as it was
}

TEST_F(TesmarleCliEndToEndTest, ResumeLeavesTheReaderReportingTags) {
    StartSim({"--tag-rate", "20"});
    const ToolResult r = Tesmarle({"resume"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    ToolPort port;
    ASSERT_TRUE(port.Open(sim.Port(), B9600));
    const SplitResult heard = SplitFrames(port.ReadFor(std::chrono::milliseconds(500)));
    ASSERT_FALSE(heard.frames.empty());
    for (const Bytes& frame : heard.frames) {
        EXPECT_TRUE(IsTagFrame(frame));
    }
}

TEST_F(TesmarleCliEndToEndTest, TagsListsTheIdentifiersTheReaderReports) {
    StartSim({"--tags", "0102030405060708,A1B2C3D4E5F60718", "--tag-rate", "10"});
    const ToolResult r = Tesmarle({"tags", "--seconds", "2"});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("01 02 03 04 05 06 07 08"));
    EXPECT_THAT(r.out, HasSubstr("A1 B2 C3 D4 E5 F6 07 18"));
}

// What tags --stats says of each tag and of the whole run, read back from either format.
struct TagStatsSaid {
    std::map<std::string, std::pair<double, double>> tags;  // count, reads a second
    double perSecond = -1;
    double lastSecond = -1;
};

TagStatsSaid ParseJsonStats(const std::string& out) {
    TagStatsSaid said;
    const std::string line = out.substr(out.find("{\"stats\": "));
    const std::regex tag(
        "\"tag\": \"([0-9A-F]{16})\", \"count\": ([0-9]+), \"firstSeen\": "
        "[0-9.]+, \"lastSeen\": [0-9.]+, \"perSecond\": ([0-9.]+)");
    for (std::sregex_iterator it(line.begin(), line.end(), tag), end; it != end; ++it) {
        said.tags[(*it)[1]] = {std::stod((*it)[2]), std::stod((*it)[3])};
    }
    std::smatch m;
    if (std::regex_search(line, m,
                          std::regex("\"perSecond\": ([0-9.]+), \"lastSecondPerSecond\": "
                                     "([0-9.]+)\\}\n$"))) {
        said.perSecond = std::stod(m[1]);
        said.lastSecond = std::stod(m[2]);
    }
    return said;
}

TagStatsSaid ParseCsvStats(const std::string& out) {
    TagStatsSaid said;
    std::istringstream in(out.substr(out.find("\ntag,count,firstSeen,lastSeen,perSecond\n")));
    std::smatch m;
    for (std::string line; std::getline(in, line);) {
        if (std::regex_match(line, m,
                             std::regex("([0-9A-F]{16}),([0-9]+),[0-9.]+,[0-9.]+,([0-9.]+)"))) {
            said.tags[m[1]] = {std::stod(m[2]), std::stod(m[3])};
        } else if (std::regex_match(line, m, std::regex("[0-9]+,[0-9]+,([0-9.]+),([0-9.]+)"))) {
            said.perSecond = std::stod(m[1]);
            said.lastSecond = std::stod(m[2]);
        }
    }
    return said;
}

class TagStatsEndToEndTest : public TesmarleCliEndToEndTest,
                             public ::testing::WithParamInterface<const char*> {};

// Three tags reported 200 times a second, the first more often than the others: each tag's count
// is what readersim's log says it sent, and the rates, per tag, overall and over the last second,
// are readersim's within 2 %.
TEST_P(TagStatsEndToEndTest, CountsAndRatesMatchWhatTheReaderSent) {
    const std::vector<std::string> ids{"E200680600000001", "E200680600000002", "E200680600000003"};
    StartSim({"--baud", "115200", "--tags", ids[0] + "," + ids[1] + "," + ids[2], "--tag-rate",
              "200", "-v"});
    const std::string format = GetParam();
    const ToolResult r = Tesmarle({"-b", "115200", "tags", "--seconds", "4", "--stats", format});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    sim.Stop();
    const TagStatsSaid said = format == "--json" ? ParseJsonStats(r.out) : ParseCsvStats(r.out);

    const std::string log = TempFolder::ReadFile(dir / "readersim.log");
    std::map<std::string, double> sent;
    double total = 0;
    for (const std::string& id : ids) {
        std::string spaced;
        for (std::size_t i = 0; i < id.size(); i += 2) {
            spaced += " " + id.substr(i, 2);
        }
        const std::string frame = "sent tag frame E0 0C 58 00 01" + spaced;
        for (std::size_t at = log.find(frame); at != std::string::npos;
             at = log.find(frame, at + 1)) {
            ++sent[id];
        }
        total += sent[id];
    }
    ASSERT_GT(total, 600) << log.substr(0, 2000);
    ASSERT_EQ(said.tags.size(), ids.size()) << r.out.substr(r.out.size() - 600);
    for (const std::string& id : ids) {
        const auto [count, perSecond] = said.tags.at(id);
        EXPECT_NEAR(count, sent[id], sent[id] * 0.02) << id;
        EXPECT_NEAR(perSecond, 200 * sent[id] / total, 200 * sent[id] / total * 0.02) << id;
    }
    EXPECT_NEAR(said.perSecond, 200, 4);
    EXPECT_NEAR(said.lastSecond, 200, 4);
}

INSTANTIATE_TEST_SUITE_P(Formats, TagStatsEndToEndTest, ::testing::Values("--json", "--csv"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param).substr(2);
                         });

TEST_F(TesmarleCliEndToEndTest, ToolAtAnotherRateThanTheReaderFailsCleanly) {
    StartSim({"--baud", "19200"});
    const ToolResult r = Tesmarle({"read"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_FALSE(r.err.empty());
}

// readersim loses its ninth answer: the one to the first block write, which it did carry out.
TEST_F(TesmarleCliEndToEndTest, WriteWhoseAnswerIsLostSaysTheReaderWroteTheBlockAfterAll) {
    StartSim({"-v", "--drop-every", "9"});
    const std::string report = (dir / "report.jsonl").string();
    const ToolResult r = Tesmarle({"write", "--power", "40", "--report", report});
    EXPECT_EQ(r.exitStatus, 1) << r.out << r.err;
    const std::string message =
        "write parameters failed: no reply from the reader: the reader did not answer the write "
        "of the block at address 100 and may have written it; a read now shows the new values "
        "in it (power 40): the reader wrote it";
    EXPECT_EQ(r.err, "tesmarle-cli: " + message + "\n");
    const std::string line = TempFolder::ReadFile(report);
    EXPECT_THAT(line, HasSubstr("\"result\": \"failed\", \"message\": \"" + message + "\""));
    // The record read back after the failure: what a `read` shows now.
    const std::size_t after = line.find("\"after\": {");
    ASSERT_NE(after, std::string::npos) << line;
    EXPECT_THAT(line.substr(after), HasSubstr("\"power\": 40,"));
    EXPECT_EQ(sim.Stop(), 0);
    const std::string log = TempFolder::ReadFile(dir / "readersim.log");
    EXPECT_THAT(log, HasSubstr("dropped"));
    EXPECT_EQ(log.find("received WriteBlock"), log.rfind("received WriteBlock"))
        << "the write is not sent again, nor any after it:\n"
        << log;
}

struct FaultCase {
    const char* name;
    std::vector<std::string> flags;
};

class TesmarleCliFaultTest : public TesmarleCliEndToEndTest,
                             public ::testing::WithParamInterface<FaultCase> {};

TEST_P(TesmarleCliFaultTest, EveryCommandGetsThroughTheFault) {
    std::vector<std::string> args = GetParam().flags;
    args.insert(args.end(), {"--state", (dir / "state.txt").string(), "--tag-rate", "10"});
    StartSim(args);

    const ToolResult write = Tesmarle({"write", "--power", "55"});
    EXPECT_EQ(write.exitStatus, 0) << write.err;
    const ToolResult read = Tesmarle({"read", "--json"});
    EXPECT_EQ(read.exitStatus, 0) << read.err;
    EXPECT_THAT(read.out, HasSubstr("\"power\": 55"));
    const ToolResult tags = Tesmarle({"tags", "--seconds", "2"});
    EXPECT_EQ(tags.exitStatus, 0) << tags.err;
    EXPECT_THAT(tags.out, HasSubstr("E2 00 68 06"));
    const ToolResult resume = Tesmarle({"resume"});
    EXPECT_EQ(resume.exitStatus, 0) << resume.err;
    // Every command stops a reader that was left reporting before it reads or writes.
    const ToolResult again = Tesmarle({"write", "--power", "56"});
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    const ToolResult readBack = Tesmarle({"read", "--json"});
    EXPECT_EQ(readBack.exitStatus, 0) << readBack.err;
    EXPECT_THAT(readBack.out, HasSubstr("\"power\": 56"));
}

INSTANTIATE_TEST_SUITE_P(
    Faults, TesmarleCliFaultTest,
    ::testing::Values(FaultCase{"GarbageBeforeReplies", {"--garbage", "9"}},
                      FaultCase{"SplitReplies", {"--split", "3"}},
                      FaultCase{"Acknowledgement88", {"--ack88"}},
                      FaultCase{"WorkingReaderAnsweringBetweenTags", {"--working"}},
                      FaultCase{"WorkingReaderIgnoringRequests",
                                {"--working", "--ignore-while-working"}}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

class TesmarleCliSilenceTest : public TesmarleCliEndToEndTest,
                               public ::testing::WithParamInterface<std::vector<std::string>> {};

TEST_P(TesmarleCliSilenceTest, SilentReaderEndsTheCommandWithStatus1InBoundedTime) {
    StartSim({"--silent-after", "0"});
    const ToolResult r = Tesmarle(GetParam());
    EXPECT_EQ(r.exitStatus, 1) << r.out << r.err;
    EXPECT_FALSE(r.err.empty());
    EXPECT_LT(r.elapsed, std::chrono::seconds(15));
}

INSTANTIATE_TEST_SUITE_P(Commands, TesmarleCliSilenceTest,
                         ::testing::Values(std::vector<std::string>{"read"},
                                           std::vector<std::string>{"write", "--power", "9"},
                                           std::vector<std::string>{"resume"},
                                           std::vector<std::string>{"tags", "--seconds", "1"}));

TEST_F(TesmarleCliEndToEndTest, ReaderFallingSilentMidwayFailsTheReadWithStatus1) {
    StartSim({"--silent-after", "3"});  // Stop and two of the seven blocks
    const ToolResult r = Tesmarle({"read"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_THAT(r.out, Not(HasSubstr("power")));
}

}  // namespace
}  // namespace uhf
