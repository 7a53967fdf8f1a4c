// tesmarle-cli on a production line: several readersims written at once, one that drops a block,
// and the report that survives the tool being killed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <regex>
#include <thread>

#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"

namespace uhf::test {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Every line of the file is one JSON object (checked by Python's own parser); how many.
int ValidJsonLines(const std::string& path) {
    const ToolResult r = RunTool({"/usr/bin/env", "python3", "-c",
                                  "import json, sys\n"
                                  "lines = open(sys.argv[1]).read().split('\\n')\n"
                                  "assert lines[-1] == '', 'the last line is cut'\n"
                                  "print(sum(isinstance(json.loads(l), dict) for l in lines[:-1]))",
                                  path});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    return r.exitStatus == 0 ? std::stoi(r.out) : -1;
}

class TesmarleLineEndToEndTest : public ::testing::Test {
  protected:
    void StartSims(const std::vector<std::vector<std::string>>& args) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            sims.push_back(std::make_unique<ReadersimProcess>());
            ASSERT_TRUE(sims.back()->Start(READERSIM_PATH, args[i],
                                           dir.PathOf("sim" + std::to_string(i) + ".log")));
        }
    }
    std::vector<std::string> PortArgs() const {
        std::vector<std::string> args;
        for (const auto& sim : sims) {
            args.insert(args.end(), {"-p", sim->Port()});
        }
        return args;
    }

    // Declared first so that it goes last, after the simulators writing their logs into it.
    TempFolder dir;
    std::string report = dir.PathOf("report.jsonl");
    std::vector<std::unique_ptr<ReadersimProcess>> sims;
};

TEST_F(TesmarleLineEndToEndTest, FourReadersAtOnceAndTheOneThatDropsABlockIsNamed) {
    StartSims({{"--baud", "115200"},
               {"--baud", "115200"},
               {"--baud", "115200", "--ignore-write", "112"},
               {"--baud", "115200"}});
    std::vector<std::string> command{TESMARLE_CLI_PATH, "-b", "115200"};
    const auto ports = PortArgs();
    command.insert(command.end(), ports.begin(), ports.end());
    command.insert(command.end(), {"write", "--protocol", "wiegand34", "--report", report, "-v"});
    const ToolResult r = RunTool(command);
    EXPECT_EQ(r.exitStatus, 1) << r.out << r.err;
    const std::string faulty = sims[2]->Port();
    EXPECT_THAT(r.err, HasSubstr(faulty +
                                 ": tesmarle-cli: verify failed: protocol written "
                                 "Wiegand34, read back Wiegand26\n" +
                                 faulty + ": tesmarle-cli: the last 8 lines of the trace:\n"));
    EXPECT_EQ(r.err.find("lines of the trace"), r.err.rfind("lines of the trace")) << r.err;
    for (std::size_t i = 0; i < sims.size(); ++i) {
        const std::string& port = sims[i]->Port();
        EXPECT_THAT(r.out, HasSubstr(port + ": protocol: 1 (Wiegand26) \u2192 2 (Wiegand34)\n"));
        // The port column is as wide as the longest name: /dev/pts/9 is padded beside /dev/pts/10.
        const std::regex row("\n" + port + " {2,}" + (i == 2 ? "failed" : "ok    "));
        EXPECT_TRUE(std::regex_search(r.out, row)) << port << "\n" << r.out;
        if (i != 2) {
            EXPECT_THAT(r.out, HasSubstr(port + ": verified\n"));
        }
    }

    ASSERT_EQ(ValidJsonLines(report), 4);
    int failed = 0;
    for (const std::string& line : Lines(report)) {
        EXPECT_THAT(line, HasSubstr("\"tool\": \"tesmarle-cli\", \"version\": \""));
        EXPECT_THAT(line, HasSubstr("\"operation\": \"write\""));
        EXPECT_THAT(line, HasSubstr("\"before\": {\"param100\": "));
        if (line.find("\"port\": \"" + faulty + "\"") != std::string::npos) {
            ++failed;
            EXPECT_THAT(line, HasSubstr("\"result\": \"failed\", \"message\": \"verify failed"));
            EXPECT_THAT(line, HasSubstr("\"protocol\": 1, \"timeDistance\""));  // after
            // The read-back's last answer, then the close.
            EXPECT_THAT(line, HasSubstr("\\u0009reply to ReadBlock: 01 00 90, values 00\", \""));
            EXPECT_THAT(line, HasSubstr("\\u0009close\"]}"));
        } else {
            EXPECT_THAT(line, HasSubstr("\"result\": \"ok\", \"message\": null"));
            EXPECT_THAT(line, Not(HasSubstr("\"trace\"")));
        }
    }
    EXPECT_EQ(failed, 1);
}

TEST_F(TesmarleLineEndToEndTest, AutoBaudReaderThatAnswersNowhereIsGivenItsReason) {
    StartSims({{"--baud", "57600"}, {"--silent-after", "0"}});
    std::vector<std::string> command{TESMARLE_CLI_PATH, "-b", "auto"};
    const auto ports = PortArgs();
    command.insert(command.end(), ports.begin(), ports.end());
    const std::string golden = dir.PathOf("golden.json");
    std::ofstream(golden) << "{\"power\": 30}\n";
    command.insert(command.end(), {"check", "--from", golden, "--report", report});
    const ToolResult r = RunTool(command);
    EXPECT_EQ(r.exitStatus, 1) << r.out << r.err;
    const std::string found = sims[0]->Port();
    const std::string silent = sims[1]->Port();
    EXPECT_THAT(r.err, HasSubstr(found + ": tesmarle-cli: found the reader at 57600 baud\n"));
    const std::string reason =
        "-b auto: the reader answered Stop at no rate: check power and "
        "wiring, TX/RX may be swapped (tesmarle-cli -p " +
        silent + " doctor tells more)";
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n" + found + " +ok +[0-9.]+\n"))) << r.out;
    EXPECT_THAT(r.out, HasSubstr("  " + reason + "\n"));
    EXPECT_TRUE(std::regex_search(r.out, std::regex("\n" + silent + " +failed +[0-9.]+  -b auto")))
        << r.out;

    ASSERT_EQ(ValidJsonLines(report), 2);
    for (const std::string& line : Lines(report)) {
        if (line.find("\"port\": \"" + silent + "\"") != std::string::npos) {
            EXPECT_THAT(line, HasSubstr("\"result\": \"failed\", \"message\": \"" + reason + "\""));
            EXPECT_THAT(line, HasSubstr("\"record\": null"));
        } else {
            EXPECT_THAT(line, HasSubstr("\"result\": \"ok\", \"message\": null"));
            EXPECT_THAT(line, HasSubstr("\"record\": {\"param100\": "));
        }
    }
}

TEST_F(TesmarleLineEndToEndTest, ReportKeepsEveryLineWrittenBeforeTheToolIsKilled) {
    // Three quick readers and one whose answers take long: the tool is killed while it still
    // talks to the slow one.
    StartSims({{"--baud", "115200"},
               {"--baud", "115200"},
               {"--baud", "115200"},
               {"--baud", "115200", "--delay-ms", "150"}});
    const std::string golden = dir.PathOf("golden.json");
    std::ofstream(golden) << "{\"power\": 30}\n";
    std::vector<std::string> args{"-b", "115200"};
    const auto ports = PortArgs();
    args.insert(args.end(), ports.begin(), ports.end());
    args.insert(args.end(), {"check", "--from", golden, "--report", report});

    ToolProcess tool(TESMARLE_CLI_PATH, args);
    ASSERT_TRUE(tool.Started());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (Lines(report).size() < 3 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    tool.Signal(SIGKILL);
    EXPECT_EQ(tool.Wait(), -1);
    EXPECT_EQ(tool.terminatingSignal, SIGKILL) << "ended before it was killed";
    ASSERT_EQ(ValidJsonLines(report), 3);

    // A later run appends; the earlier lines stay as they were.
    const auto before = Lines(report);
    const ToolResult again = RunTool(
        {TESMARLE_CLI_PATH, "-b", "115200", "-p", sims[0]->Port(), "read", "--report", report});
    EXPECT_EQ(again.exitStatus, 0) << again.err;
    const auto after = Lines(report);
    ASSERT_EQ(after.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(after.begin(), after.begin() + 3), before);
    EXPECT_THAT(after[3], MatchesRegex("\\{\"time\": \"20[0-9-]+T[0-9:.]+Z\", .*\"operation\": "
                                       "\"read\", \"result\": \"ok\".*\"record\": \\{.*\\}\\}"));
    EXPECT_EQ(ValidJsonLines(report), 4);
}

}  // namespace
}  // namespace uhf::test
