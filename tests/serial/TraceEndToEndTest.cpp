// The tools' --trace against readersim's: every frame that one side wrote is a frame that the
// other read, in the same order, and a failed download's report line carries the last frames.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"

namespace uhf::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// The frame lines of a trace that went one way, each as "bytes\tmeaning"; every line of the
// trace must have the five columns.
struct FrameColumns {
    std::vector<std::string> out;
    std::vector<std::string> in;
};

FrameColumns Frames(const std::string& trace) {
    FrameColumns frames;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> columns;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, '\t');) {
            columns.push_back(cell);
        }
        EXPECT_EQ(columns.size(), 5u) << line;
        if (columns.size() != 5) {
            continue;
        }
        EXPECT_EQ(columns[0].find_first_not_of("0123456789"), std::string::npos) << line;
        const std::string frame = columns[3] + "\t" + columns[4];
        if (columns[1] == "out") {
            frames.out.push_back(frame);
        } else if (columns[1] == "in") {
            frames.in.push_back(frame);
        } else {
            EXPECT_EQ(columns[1], "-") << line;
            EXPECT_EQ(columns[3], "") << line;
        }
    }
    return frames;
}

struct TraceCase {
    const char* name;
    std::vector<std::string> simArgs;
    bool download;                      // ferrowin-cli, else tesmarle-cli
    std::vector<std::string> toolArgs;  // behind -p PORT; the firmware follows a download's
    std::vector<std::string> toolSent;  // frames the tool's trace must show written, in order
    std::string toolRead;               // and one that it must show read
};

class TraceEndToEndTest : public ::testing::TestWithParam<TraceCase> {
  protected:
    TempFolder dir;
};

TEST_P(TraceEndToEndTest, ToolAndReaderTraceTheSameFramesMirrored) {
    const TraceCase& c = GetParam();
    const std::string simTrace = dir.PathOf("sim.trace");
    const std::string toolTrace = dir.PathOf("tool.trace");
    std::vector<std::string> simArgs = c.simArgs;
    simArgs.insert(simArgs.end(), {"--trace", simTrace});
    ReadersimProcess sim;
    ASSERT_TRUE(sim.Start(READERSIM_PATH, simArgs, dir.PathOf("sim.log")));

    std::vector<std::string> command{c.download ? FERROWIN_CLI_PATH : TESMARLE_CLI_PATH, "-p",
                                     sim.Port(), "--trace", toolTrace};
    command.insert(command.end(), c.toolArgs.begin(), c.toolArgs.end());
    if (c.download) {
        std::ofstream image(dir.PathOf("image.bin"), std::ios::binary);
        for (int i = 0; i < 1000; ++i) {
            image.put(static_cast<char>(i * 7));
        }
        image.close();
        command.push_back(dir.PathOf("image.bin"));
    }
    const ToolResult run = RunTool(command, std::chrono::seconds(60));
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(sim.Stop(), 0);

    const FrameColumns tool = Frames(TempFolder::ReadFile(toolTrace));
    const FrameColumns reader = Frames(TempFolder::ReadFile(simTrace));
    EXPECT_EQ(tool.out, reader.in);
    EXPECT_EQ(tool.in, reader.out);
    // What was said is the protocol's meaning, not only the same bytes on both sides.
    std::vector<std::string> sent;
    for (const std::string& frame : tool.out) {
        sent.push_back(frame.substr(frame.find('\t') + 1));
    }
    std::size_t at = 0;
    for (const std::string& meaning : c.toolSent) {
        const auto found =
            std::find(sent.begin() + static_cast<std::ptrdiff_t>(at), sent.end(), meaning);
        ASSERT_NE(found, sent.end()) << meaning << " not sent after frame " << at;
        at = static_cast<std::size_t>(found - sent.begin()) + 1;
    }
    EXPECT_THAT(TempFolder::ReadFile(toolTrace), HasSubstr(c.toolRead));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, TraceEndToEndTest,
    testing::Values(
        TraceCase{"Read",
                  {},
                  false,
                  {"read"},
                  {"Stop", "ReadBlock 100+2", "ReadBlock 112+8", "ReadBlock 123+1",
                   "ReadBlock 132+1", "ReadBlock 135+1", "ReadBlock 137+2", "ReadBlock 144+1"},
                  "\tin\t9600\tE0 07 63 02 00 64 01 1E 31\treply to ReadBlock: 02 00 64, values "
                  "01 1E\n"},
        TraceCase{"Write",
                  {"--baud", "115200"},
                  false,
                  {"-b", "115200", "write", "--power", "40"},
                  {"Stop", "ReadBlock 144+1", "WriteBlock 100+2: 01 28", "WriteBlock 144+1: 00",
                   "ReadBlock 100+2"},
                  "\tin\t115200\tE0 03 62 00 BB\treply to WriteBlock: status 0\n"},
        TraceCase{"Tags",
                  {"--baud", "115200", "--tags", "0102030405060708", "--tag-rate", "50"},
                  false,
                  {"-b", "115200", "tags", "--seconds", "1"},
                  {"Stop", "Resume", "Stop"},
                  "\tin\t115200\tE0 0C 58 00 01 01 02 03 04 05 06 07 08 97\ttag report 01 02 03 "
                  "04 05 06 07 08\n"},
        TraceCase{"Download",
                  {},
                  true,
                  {"--device-baud", "9600", "--download-baud", "115200"},
                  {"probe", "alternate probe", "baud change to 115200",
                   "image size 1000 bytes, 16 data frames", "upgrade data 1/16, 64 bytes",
                   "upgrade data 16/16, 40 bytes", "end"},
                  "\t-\t115200\t\trate change to 115200\n"}),
    [](const testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

TEST(TraceReport, FailedDownloadReportsItsLastFramesAndVerboseShowsThem) {
    TempFolder dir;
    ReadersimProcess sim;
    // Probe, alternate probe, baud rate, size and 36 data frames are answered; then nothing.
    ASSERT_TRUE(sim.Start(READERSIM_PATH, {"--silent-after", "40"}, dir.PathOf("sim.log")));
    {
        std::ofstream image(dir.PathOf("image.bin"), std::ios::binary);
        image << std::string(4000, 'x');
    }
    const std::string report = dir.PathOf("report.jsonl");
    const ToolResult run =
        RunTool({FERROWIN_CLI_PATH, "-p", sim.Port(), "--device-baud", "9600", "--download-baud",
                 "115200", "--report", report, "-v", dir.PathOf("image.bin")},
                std::chrono::seconds(60));
    sim.Stop();
    ASSERT_EQ(run.exitStatus, 1) << run.err;
    const std::string line = TempFolder::ReadFile(report);
    EXPECT_THAT(line, HasSubstr("\"result\": \"failed\""));
    // The 37th data frame went unanswered: it is the last frame, the close after it.
    EXPECT_THAT(line, HasSubstr("\\u0009out\\u0009115200\\u0009A0 44 67 78 78"));
    EXPECT_THAT(line, HasSubstr("\\u0009upgrade data 37/63, 64 bytes\", "));
    EXPECT_THAT(line, HasSubstr("\\u0009close\"]}\n"));
    // Of the 80 lines and more the last 64 are kept, each with its five columns.
    std::size_t tabs = 0;
    for (std::size_t at = line.find("\\u0009"); at != std::string::npos;
         at = line.find("\\u0009", at + 1)) {
        ++tabs;
    }
    EXPECT_EQ(tabs, 64u * 4u) << line;
    EXPECT_THAT(line, Not(HasSubstr("open ")));
    EXPECT_THAT(run.err, HasSubstr("ferrowin-cli: the last 8 lines of the trace:\n"));
    EXPECT_THAT(run.err, HasSubstr("\tupgrade data 37/63, 64 bytes\n"));
}

}  // namespace
}  // namespace uhf::test
