// ferrowin-cli upgrading four readersims at once, one of which falls silent midway.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <regex>
#include <sstream>

#include "common/Sha256.h"
#include "fakes/ReadersimProcess.h"
#include "fakes/TempFolder.h"
#include "fakes/ToolProcess.h"

namespace uhf {
namespace {

using test::ReadersimProcess;
using test::RunTool;
using test::TempFolder;
using test::ToolResult;
using ::testing::HasSubstr;

TEST(FerrowinLineEndToEnd, FourReadersAtOnceTheFaultyOneFailsAloneAndEveryOneIsReported) {
    const TempFolder dir;
    std::string image(20000, '\0');
    std::mt19937 random(17);
    for (char& c : image) {
        c = static_cast<char>(random() & 0xFF);
    }
    dir.Write("firmware.bin", image);

    constexpr int kFaulty = 2;
    std::vector<std::unique_ptr<ReadersimProcess>> sims;
    std::vector<std::string> command{FERROWIN_CLI_PATH, "--device-baud", "115200",
                                     "--download-baud", "115200"};
    for (int i = 0; i < 4; ++i) {
        std::vector<std::string> args{"--baud",
                                      "115200",
                                      "--turnaround-ms",
                                      "0",
                                      "--frame-writes",
                                      "--firmware-out",
                                      dir.PathOf("rx" + std::to_string(i))};
        if (i == kFaulty) {
            args.insert(args.end(), {"--silent-after", "40"});  // midway through the image
        }
        sims.push_back(std::make_unique<ReadersimProcess>());
        ASSERT_TRUE(sims.back()->Start(READERSIM_PATH, args));
        command.insert(command.end(), {"-p", sims.back()->Port()});
    }
    const std::string report = dir.PathOf("report.jsonl");
    command.insert(command.end(), {"--report", report, dir.PathOf("firmware.bin")});

    const ToolResult r = RunTool(command, std::chrono::seconds(120));
    EXPECT_EQ(r.exitStatus, 1) << r.out << r.err;
    for (auto& sim : sims) {
        sim->Stop();
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.data());
    const std::string digest = Sha256::Of(bytes, image.size());
    const auto lines = [&] {
        std::vector<std::string> all;
        std::istringstream in(TempFolder::ReadFile(report));
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        return all;
    }();
    EXPECT_EQ(lines.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const std::string& port = sims[static_cast<std::size_t>(i)]->Port();
        const bool faulty = i == kFaulty;
        const std::regex row("(^|\n)" + port + " +" + (faulty ? "failed" : "ok    ") +
                             " +[0-9.]+ +[0-9]+" + (faulty ? "  a data or end frame" : "\n"));
        EXPECT_TRUE(std::regex_search(r.out, row)) << port << "\n" << r.out;
        // Not a terminal: time-stamped log lines behind the port.
        EXPECT_TRUE(std::regex_search(
            r.err, std::regex(port + ": [0-9]{2}:[0-9]{2}:[0-9]{2} Start sending upgrade")))
            << r.err;
        const std::string received = dir.Read("rx" + std::to_string(i));
        if (!faulty) {
            EXPECT_EQ(received, image) << "image of " << port;
        }
        int found = 0;
        for (const std::string& line : lines) {
            if (line.find("\"port\": \"" + port + "\"") == std::string::npos) {
                continue;
            }
            ++found;
            EXPECT_THAT(line, HasSubstr("\"operation\": \"download\", \"result\": \"" +
                                        std::string(faulty ? "failed" : "ok") + "\""));
            EXPECT_THAT(line, HasSubstr("\"imageSize\": 20000, \"sha256\": \"" + digest + "\""));
            EXPECT_THAT(line, HasSubstr("\"downloadBaud\": 115200"));
            EXPECT_EQ(line.find("\"bytesPerSecond\": null") != std::string::npos, faulty);
        }
        EXPECT_EQ(found, 1) << port;
    }
}

// One reader found at 57600 baud and sent an image of one frame, one that answers at no rate and
// a port that is not there: each has its row and its report line, with the rate found, the time
// the search took and why.
TEST(FerrowinLineEndToEnd, DeviceBaudAutoReportsTheRateFoundAndWhyAReaderFailed) {
    const TempFolder dir;
    const std::string image(40, '\x5A');
    dir.Write("firmware.bin", image);
    ReadersimProcess found;
    ReadersimProcess silent;
    ASSERT_TRUE(
        found.Start(READERSIM_PATH, {"--baud", "57600", "--firmware-out", dir.PathOf("rx")}));
    ASSERT_TRUE(silent.Start(READERSIM_PATH, {"--silent-after", "0"}));
    const std::string report = dir.PathOf("report.jsonl");
    const std::string missing = dir.PathOf("no-such-port");
    const ToolResult r = RunTool(
        {FERROWIN_CLI_PATH, "-p", found.Port(), "-p", silent.Port(), "-p", missing, "--device-baud",
         "auto", "--download-baud", "115200", "--report", report, dir.PathOf("firmware.bin")},
        std::chrono::seconds(120));
    EXPECT_EQ(r.exitStatus, 1) << r.out << r.err;
    found.Stop();
    silent.Stop();
    EXPECT_EQ(dir.Read("rx"), image);

    const std::string noAnswer =
        "--device-baud auto: no answer at any rate: check power and wiring, TX/RX may be swapped";
    std::smatch row;
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("(^|\n)" + found.Port() +
                          " +ok +[0-9.]+ +[0-9]+  found the reader at 57600 baud\n")))
        << r.out;
    // Five rates, each asked Stop and then sent the probes, 500 ms at least: no search is quicker.
    ASSERT_TRUE(std::regex_search(
        r.out, row, std::regex("(^|\n)" + silent.Port() + " +failed +([0-9.]+) +0  (.*)\n")))
        << r.out;
    EXPECT_GE(std::stod(row[2]), 3.0) << r.out;
    EXPECT_EQ(row[3], noAnswer);
    const std::string openFailed = "open " + missing + " failed: no such device";
    EXPECT_TRUE(std::regex_search(
        r.out, std::regex("\n" + missing + " +failed +[0-9.]+ +0  " + openFailed + "\n")))
        << r.out;

    std::istringstream lines(TempFolder::ReadFile(report));
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        std::smatch seconds;
        ASSERT_TRUE(std::regex_search(line, seconds, std::regex("\"seconds\": ([0-9.]+)"))) << line;
        if (line.find("\"port\": \"" + missing + "\"") != std::string::npos) {
            EXPECT_THAT(line, HasSubstr("\"result\": \"failed\", \"message\": \"" + openFailed));
            EXPECT_THAT(line, HasSubstr("\"deviceBaud\": null"));
        } else if (line.find("\"port\": \"" + silent.Port() + "\"") != std::string::npos) {
            EXPECT_THAT(line, HasSubstr("\"result\": \"failed\", \"message\": \"" + noAnswer));
            EXPECT_THAT(line, HasSubstr("\"deviceBaud\": null"));
            EXPECT_THAT(line, HasSubstr("\"bytesPerSecond\": null"));
            EXPECT_GE(std::stod(seconds[1]), 3.0) << line;
        } else {
            EXPECT_THAT(line, HasSubstr("\"result\": \"ok\", \"message\": null"));
            EXPECT_THAT(line, HasSubstr("\"deviceBaud\": 57600, \"downloadBaud\": 115200"));
            // One data frame still takes time on the line: never a rate of 0.
            std::smatch rate;
            ASSERT_TRUE(std::regex_search(line, rate, std::regex("\"bytesPerSecond\": ([0-9.]+)")))
                << line;
            EXPECT_GT(std::stod(rate[1]), 0.0) << line;
        }
    }
    EXPECT_EQ(count, 3);
}

}  // namespace
}  // namespace uhf
