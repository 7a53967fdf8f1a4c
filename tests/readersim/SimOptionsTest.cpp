// readersim's command line.
#include <gtest/gtest.h>

#include "readersim/SimOptions.h"

namespace uhf {
namespace {

TEST(SimOptionsTest, OptionsAndFaultFlagsAreRead) {
    std::string error;
    const auto options = SimOptions::Parse({"--baud",
                                            "115200",
                                            "--tag-count",
                                            "7",
                                            "--tag-rate",
                                            "9",
                                            "--state",
                                            "s.txt",
                                            "--firmware-out",
                                            "fw.bin",
                                            "--link",
                                            "/tmp/x",
                                            "--drop-every",
                                            "3",
                                            "--delay-ms",
                                            "40",
                                            "--corrupt-every",
                                            "50",
                                            "--silent-after",
                                            "4",
                                            "--garbage",
                                            "6",
                                            "--ack88",
                                            "--split",
                                            "3",
                                            "--ignore-write",
                                            "144",
                                            "-v",
                                            "--working",
                                            "--ignore-while-working"},
                                           error);
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->config.workingBaud, 115200);
    EXPECT_EQ(options->config.tags.size(), 7u);
    EXPECT_EQ(options->config.tagRate, 9);
    EXPECT_EQ(options->statePath, "s.txt");
    EXPECT_EQ(options->firmwarePath, "fw.bin");
    EXPECT_EQ(options->linkPath, "/tmp/x");
    EXPECT_EQ(options->config.faults.dropEvery, 3);
    EXPECT_EQ(options->config.faults.delayMs, 40);
    EXPECT_EQ(options->config.faults.corruptEvery, 50);
    EXPECT_EQ(options->config.faults.silentAfter, 4);
    EXPECT_EQ(options->config.faults.garbageBytes, 6);
    EXPECT_TRUE(options->config.faults.ack88);
    EXPECT_EQ(options->config.faults.splitParts, 3);
    EXPECT_EQ(options->config.faults.ignoreWriteAddress, 144);
    EXPECT_EQ(options->verbosity, 1);
    EXPECT_TRUE(options->startWorking);
    EXPECT_TRUE(options->config.ignoreWhileWorking);
}

TEST(SimOptionsTest, TimingOptionsOfTheBenchmarkAreRead) {
    std::string error;
    const auto options =
        SimOptions::Parse({"--turnaround-ms", "0", "--frame-writes", "--spin-us", "300"}, error);
    ASSERT_TRUE(options.has_value()) << error;
    EXPECT_EQ(options->config.turnaroundMs, 0);
    EXPECT_TRUE(options->config.frameWrites);
    EXPECT_EQ(options->spinUs, 300);
    const auto defaults = SimOptions::Parse({}, error);
    ASSERT_TRUE(defaults.has_value());
    EXPECT_EQ(defaults->config.turnaroundMs, 2);
    EXPECT_FALSE(defaults->config.frameWrites);
    EXPECT_EQ(defaults->spinUs, 0);
    EXPECT_FALSE(SimOptions::Parse({"--spin-us", "9000"}, error).has_value());
    EXPECT_FALSE(SimOptions::Parse({"--turnaround-ms", "-1"}, error).has_value());
}

TEST(SimOptionsTest, BadArgumentsAreRefusedWithAReason) {
    const std::vector<std::vector<std::string>> cases = {
        {"--baud", "12345"},  {"--baud"},
        {"--tag-rate", "-1"}, {"--drop-every", "0"},
        {"--split", "x"},     {"--frobnicate"},
        {"--tags", "0102"},   {"--tags", "0102030405060708", "--tag-count", "2"},
        {"--state", ""},
    };
    for (const auto& args : cases) {
        std::string error;
        EXPECT_FALSE(SimOptions::Parse(args, error).has_value()) << args.front();
        EXPECT_FALSE(error.empty()) << args.front();
    }
}

}  // namespace
}  // namespace uhf
