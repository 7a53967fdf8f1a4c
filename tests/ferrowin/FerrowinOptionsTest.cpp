#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ferrowin/cli/FerrowinOptions.h"
#include "ferrowin/cli/FerrowinProgress.h"

namespace uhf {
namespace {

using Args = std::vector<std::string>;

TEST(FerrowinOptionsTest, FullCommandIsRead) {
    std::string error;
    const auto options = FerrowinOptions::Parse(
        {"-p", "/dev/ttyUSB0", "--device-baud", "9600", "--download-baud", "115200", "fw.bin"},
        error);
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->ports, std::vector<std::string>{"/dev/ttyUSB0"});
    EXPECT_EQ(options->deviceBaud, 9600);
    EXPECT_EQ(options->downloadBaud, 115200);
    EXPECT_EQ(options->firmware, "fw.bin");
}

TEST(FerrowinOptionsTest, FirmwareMayComeFirstAndOptionsInAnyOrder) {
    std::string error;
    const auto options = FerrowinOptions::Parse(
        {"fw.bin", "--download-baud", "19200", "--port", "COM3", "--device-baud", "57600"}, error);
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->ports, std::vector<std::string>{"COM3"});
    EXPECT_EQ(options->downloadBaud, 19200);
    EXPECT_FALSE(options->deviceBaudAuto);

    const auto automatic = FerrowinOptions::Parse(
        {"-p", "COM3", "--device-baud", "auto", "--download-baud", "115200", "fw.bin"}, error);
    ASSERT_TRUE(automatic.has_value()) << error;
    EXPECT_TRUE(automatic->deviceBaudAuto);
}

TEST(FerrowinOptionsTest, SeveralPortsAndAReport) {
    std::string error;
    const auto options =
        FerrowinOptions::Parse({"-p", "/dev/ttyUSB0", "--device-baud", "9600", "-p", "/dev/ttyUSB1",
                                "--download-baud", "115200", "--report", "r.jsonl", "fw.bin"},
                               error);
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->ports, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    EXPECT_EQ(options->reportFile, "r.jsonl");
}

class BadCommandTable : public testing::TestWithParam<Args> {};

TEST_P(BadCommandTable, IsRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(FerrowinOptions::Parse(GetParam(), error).has_value());
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BadCommandTable,
    testing::Values(
        Args{}, Args{"fw.bin"},
        Args{"-p", "COM1", "--device-baud", "9600", "--download-baud", "9600"},
        Args{"-p", "COM1", "--device-baud", "1200", "--download-baud", "9600", "f"},
        Args{"-p", "COM1", "--device-baud", "96OO", "--download-baud", "9600", "f"},
        Args{"-p", "COM1", "--device-baud", "9600", "--download-baud", "", "f"},
        Args{"-p", "COM1", "--device-baud", "9600", "--download-baud", "auto", "f"},
        Args{"-p", "COM1", "--device-baud", "9600", "--download-baud"},
        Args{"-p", "COM1", "--device-baud", "9600", "--download-baud", "9600", "a", "b"},
        Args{"-p", "COM1", "-x", "--device-baud", "9600", "--download-baud", "9600", "f"},
        Args{"--device-baud", "9600", "--download-baud", "9600", "f"},
        Args{"-p", "COM1", "-p", "", "--device-baud", "9600", "--download-baud", "9600", "f"},
        Args{"-p", "COM1", "--device-baud", "9600", "--download-baud", "9600", "--report", "", "f"},
        Args{"-p", "COM1", "--device-baud", "9600", "--download-baud", "9600", "--trace", "", "f"},
        Args{"-p", "COM1", "-p", "COM2", "--device-baud", "9600", "--download-baud", "9600",
             "--trace", "t", "f"}));

TEST(FerrowinOptionsTest, HelpNeedsNothingElse) {
    std::string error;
    const auto options = FerrowinOptions::Parse({"--help"}, error);
    ASSERT_TRUE(options.has_value());
    EXPECT_TRUE(options->help);
}

TEST(FerrowinProgressTest, ShowsPercentBytesRateAndTimeLeft) {
    EXPECT_EQ(FerrowinProgress::Format(512, 1024, 1000, 10),
              "[#####-----]  50%  512/1024 bytes  0.5 KB/s  0:01 left");
    EXPECT_EQ(FerrowinProgress::Format(0, 1000, 0, 4),
              "[----]   0%  0/1000 bytes  -- KB/s  --:-- left");
    EXPECT_EQ(FerrowinProgress::Format(65535, 65535, 10000, 4),
              "[####] 100%  65535/65535 bytes  6.4 KB/s  0:00 left");
    // A time left predicted from the turnaround wins over the rate so far.
    EXPECT_EQ(FerrowinProgress::Format(512, 1024, 1000, 10, 61'500),
              "[#####-----]  50%  512/1024 bytes  0.5 KB/s  1:02 left");
}

}  // namespace
}  // namespace uhf
