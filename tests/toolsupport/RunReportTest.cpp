#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "toolsupport/RunReport.h"
#include "fakes/TempFolder.h"

namespace uhf {
namespace {

using std::chrono::system_clock;

TEST(RunReportTest, LineHoldsTheFixedKeysInOrderThenTheValues) {
    const RunReport report("ferrowin-cli", "1.0 (commit abc)");
    const RunReport::Entry entry{
        "/dev/ttyUSB0", "", "download", "failed", "a \"quoted\"\nline\\", {{"imageSize", "65535"}}};
    // 2026-12-07 17:12:29.045 UTC
    const system_clock::time_point when{std::chrono::milliseconds(1796663549045)};
    EXPECT_EQ(report.Line(entry, when),
              "{\"time\": \"2026-12-07T17:12:29.045Z\", \"tool\": \"ferrowin-cli\", \"version\": "
              "\"1.0 (commit abc)\", \"port\": \"/dev/ttyUSB0\", \"serialNumber\": null, "
              "\"operation\": \"download\", \"result\": \"failed\", \"message\": \"a "
              "\\\"quoted\\\"\\u000aline\\\\\", \"imageSize\": 65535}");
    EXPECT_EQ(RunReport::UtcTime(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
}

TEST(RunReportTest, SerialNumberIsFoundByPathByIdNameOrLink) {
#ifdef _WIN32
    GTEST_SKIP() << "by-id links are symbolic links, which Windows ports do not have";
#endif
    const test::TempFolder dir;
    const auto device = dir.Path() / "ttyUSB7";
    const auto link = dir.Path() / "usb-FTDI_A50285BI-if00";
    std::ofstream(device.string()) << "";
    std::filesystem::create_symlink(device, link);
    const std::vector<PortInfo> ports{{.path = "/dev/ttyS0"},
                                      {.path = device.string(),
                                       .byIdPath = "/dev/serial/by-id/usb-FTDI_A50285BI-if00",
                                       .serialNumber = "A50285BI"}};
    EXPECT_EQ(RunReport::SerialNumberOf(device.string(), ports), "A50285BI");
    EXPECT_EQ(RunReport::SerialNumberOf("/dev/serial/by-id/usb-FTDI_A50285BI-if00", ports),
              "A50285BI");
    EXPECT_EQ(RunReport::SerialNumberOf(link.string(), ports), "A50285BI");
    EXPECT_EQ(RunReport::SerialNumberOf("/dev/pts/3", ports), "");
}

TEST(RunReportTest, AppendsWholeLinesFromManyThreadsAfterWhatWasThere) {
    const test::TempFolder dir;
    const std::string path = dir.PathOf("run-report-append.jsonl");
    std::ofstream(path) << "{\"earlier\": 1}\n";
    {
        RunReport report("tesmarle-cli", "1.0");
        std::string error;
        ASSERT_EQ(report.Open(path, error), RunReport::OpenResult::Opened) << error;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&report, t] {
                for (int i = 0; i < 50; ++i) {
                    EXPECT_TRUE(report.Append({"port" + std::to_string(t),
                                               "",
                                               "write",
                                               "ok",
                                               std::string(300, 'x'),
                                               {}}));
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(lines.size(), 201u);
    EXPECT_EQ(lines[0], "{\"earlier\": 1}");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].rfind("{\"time\": ", 0), 0u) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - 303), "\"" + std::string(300, 'x') + "\"}");
    }

    RunReport unopened("tesmarle-cli", "1.0");
    std::string error;
    EXPECT_EQ(unopened.Open(dir.PathOf("no/such/folder/r.jsonl"), error),
              RunReport::OpenResult::Failed);
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

}  // namespace
}  // namespace uhf
