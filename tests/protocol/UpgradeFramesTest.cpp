#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <numeric>
#include <span>
#include <vector>

#include "protocol/UpgradeFrames.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;

int SumMod256(const std::uint8_t* bytes, int count) {
    return std::accumulate(bytes, bytes + count, 0) % 256;
}

struct ChecksumCase {
    Bytes bytes;
    std::uint8_t checksum;
};

class PacketChecksumTable : public testing::TestWithParam<ChecksumCase> {};

TEST_P(PacketChecksumTable, GivesTheByteThatMakesTheRunSumToZero) {
    const ChecksumCase& c = GetParam();
    EXPECT_EQ(PacketChecksum(c.bytes.data(), static_cast<int>(c.bytes.size())), c.checksum);
}

INSTANTIATE_TEST_SUITE_P(
    KnownFrames, PacketChecksumTable,
    testing::Values(ChecksumCase{{}, 0x00}, ChecksumCase{{0x80, 0x80}, 0x00},
                    ChecksumCase{{0xA0, 0x03, 0x69, 0x00}, 0xF4},
                    ChecksumCase{{0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00}, 0x74},
                    ChecksumCase{{0xA0, 0x03, 0x64, 0x04}, 0xF5},
                    ChecksumCase{{0xA0, 0x03, 0x64, 0x00}, 0xF9},
                    ChecksumCase{{0xA0, 0x04, 0x66, 0x03, 0xE8}, 0x0B},
                    ChecksumCase{{0xA0, 0x04, 0x67, 0x00, 0x00}, 0xF5},
                    ChecksumCase{{0xA0, 0x02, 0x68}, 0xF6},
                    ChecksumCase{{0xE4, 0x03, 0x69, 0x00}, 0xB0}, ChecksumCase{{0x01}, 0xFF}));

TEST(UpgradeFramesTest, FixedFramesCloseWithTheirChecksum) {
    EXPECT_EQ(Bytes(kProbeFrame.begin(), kProbeFrame.end()), (Bytes{0xA0, 0x03, 0x69, 0x00, 0xF4}));
    EXPECT_EQ(Bytes(kAltProbeFrame.begin(), kAltProbeFrame.end()),
              (Bytes{0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74}));
    EXPECT_EQ(Bytes(kEndFrame.begin(), kEndFrame.end()), (Bytes{0xA0, 0x02, 0x68, 0xF6}));
    EXPECT_EQ(SumMod256(kAltProbeFrame.data(), 9), 0);
}

struct BaudCase {
    std::uint8_t index;
    Bytes frame;
};

class BaudFrameTable : public testing::TestWithParam<BaudCase> {};

TEST_P(BaudFrameTable, CarriesTheIndexOfTheDownloadRate) {
    const auto frame = BuildBaudFrame(GetParam().index);
    EXPECT_EQ(Bytes(frame.begin(), frame.end()), GetParam().frame);
}

INSTANTIATE_TEST_SUITE_P(EveryRate, BaudFrameTable,
                         testing::Values(BaudCase{0, {0xA0, 0x03, 0x64, 0x00, 0xF9}},
                                         BaudCase{1, {0xA0, 0x03, 0x64, 0x01, 0xF8}},
                                         BaudCase{2, {0xA0, 0x03, 0x64, 0x02, 0xF7}},
                                         BaudCase{3, {0xA0, 0x03, 0x64, 0x03, 0xF6}},
                                         BaudCase{4, {0xA0, 0x03, 0x64, 0x04, 0xF5}}));

struct SizeCase {
    std::uint16_t length;
    Bytes frame;
};

class SizeFrameTable : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeFrameTable, CarriesTheLengthHighByteFirst) {
    const auto frame = BuildSizeFrame(GetParam().length);
    EXPECT_EQ(Bytes(frame.begin(), frame.end()), GetParam().frame);
}

INSTANTIATE_TEST_SUITE_P(Lengths, SizeFrameTable,
                         testing::Values(SizeCase{1000, {0xA0, 0x04, 0x66, 0x03, 0xE8, 0x0B}},
                                         SizeCase{0, {0xA0, 0x04, 0x66, 0x00, 0x00, 0xF6}},
                                         SizeCase{65535, {0xA0, 0x04, 0x66, 0xFF, 0xFF, 0xF8}},
                                         SizeCase{0x0102, {0xA0, 0x04, 0x66, 0x01, 0x02, 0xF3}}));

TEST(UpgradeFramesTest, PacketCountRoundsUpToWholeFrames) {
    EXPECT_EQ(PacketCountFor(0), 0);
    EXPECT_EQ(PacketCountFor(1), 1);
    EXPECT_EQ(PacketCountFor(64), 1);
    EXPECT_EQ(PacketCountFor(65), 2);
    EXPECT_EQ(PacketCountFor(128), 2);
    EXPECT_EQ(PacketCountFor(1000), 16);
    EXPECT_EQ(PacketCountFor(65535), 1024);
}

Bytes Image(int size) {
    Bytes image(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        image[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 13 + 5);
    }
    return image;
}

TEST(UpgradeFramesTest, ThousandByteImageEndsWithAFortySixByteFrame) {
    const Bytes image = Image(1000);
    std::uint8_t out[kMaxPacketSize] = {};
    for (int packet = 0; packet < 15; ++packet) {
        ASSERT_EQ(BuildDataFrame(image, packet, 16, out), 70u);
        EXPECT_EQ(out[0], 0xA0);
        EXPECT_EQ(out[1], 0x44);
        EXPECT_EQ(out[2], 0x67);
        EXPECT_EQ(Bytes(out + 3, out + 67),
                  Bytes(image.begin() + packet * 64, image.begin() + packet * 64 + 64));
        EXPECT_EQ(out[67], 0x00);
        EXPECT_EQ(out[68], 0x00);
        EXPECT_EQ(SumMod256(out, 70), 0);
    }
    ASSERT_EQ(BuildDataFrame(image, 15, 16, out), 46u);
    EXPECT_EQ(out[1], 0x2C);
    EXPECT_EQ(Bytes(out + 3, out + 43), Bytes(image.begin() + 960, image.end()));
    EXPECT_EQ(out[43], 0x00);
    EXPECT_EQ(out[44], 0x00);
    EXPECT_EQ(SumMod256(out, 46), 0);
}

TEST(UpgradeFramesTest, EmptyImageHasAnEmptyFinalFrame) {
    std::uint8_t out[kMaxPacketSize] = {};
    ASSERT_EQ(BuildDataFrame({}, 0, 0, out), 6u);
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{0xA0, 0x04, 0x67, 0x00, 0x00, 0xF5}));
}

TEST(UpgradeFramesTest, DataFrameOutsideTheImageBuildsNothing) {
    const Bytes image = Image(100);
    std::uint8_t out[kMaxPacketSize] = {};
    EXPECT_FALSE(BuildDataFrame(image, 2, 2, out));
    EXPECT_FALSE(BuildDataFrame(image, -1, 2, out));
    // A count that claims more full frames than the image holds must not read past it.
    EXPECT_FALSE(BuildDataFrame(image, 1, 5, out));
    // Nor is a frame written past the room it is given.
    EXPECT_FALSE(BuildDataFrame(image, 0, 2, std::span(out).first(kMaxPacketSize - 1)));
}

struct DurationCase {
    int imageLength;
    int baud;
    long long turnaroundUs;
    long long streamUs;
};

class UpgradeDurationTable : public testing::TestWithParam<DurationCase> {};

// Every byte both ways at 10 bits, one turnaround per answer (size, each data frame, end), and
// the whole upgrade 900 ms more: the probe and baud-rate timers and the pause before the first
// data frame.
TEST_P(UpgradeDurationTable, CountsEveryFrameItsAnswerAndTheFixedWaits) {
    const DurationCase c = GetParam();
    const std::chrono::microseconds turnaround{c.turnaroundUs};
    EXPECT_EQ(StreamDuration(c.imageLength, c.baud, turnaround).count(), c.streamUs);
    EXPECT_EQ(UpgradeDuration(c.imageLength, c.baud, turnaround).count(), c.streamUs + 900'000);
}

INSTANTIATE_TEST_SUITE_P(
    Images, UpgradeDurationTable,
    testing::Values(
        // 65535 + 6 x 1024 + 6 + 4 bytes out, 1026 answers of 5 bytes: 76819 bytes.
        DurationCase{65535, 115200, 0, 6'668'316},
        DurationCase{65535, 115200, 16'000, 6'668'316 + 1026 * 16'000},
        DurationCase{65535, 9600, 2'000, 80'019'792 + 1026 * 2'000},
        // 100 bytes in two frames: 122 bytes out, 4 answers.
        DurationCase{100, 9600, 2'000, 147'917 + 4 * 2'000}));

struct AnswerCase {
    const char* name;
    Bytes run;
    AnswerKind kind;
    std::uint8_t command;
};

class JudgeAnswerTable : public testing::TestWithParam<AnswerCase> {};

TEST_P(JudgeAnswerTable, ReadsTheWholeRun) {
    const AnswerCase& c = GetParam();
    const Answer answer = JudgeAnswer(c.run.data(), static_cast<int>(c.run.size()));
    EXPECT_EQ(answer.kind, c.kind);
    if (c.kind == AnswerKind::Reply) {
        EXPECT_EQ(answer.command, c.command);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, JudgeAnswerTable,
    testing::Values(
        AnswerCase{"ProbeAck", {0xE4, 0x03, 0x69, 0x00, 0xB0}, AnswerKind::Reply, 0x69},
        AnswerCase{"BaudAck", {0xE4, 0x03, 0x64, 0x00, 0xB5}, AnswerKind::Reply, 0x64},
        AnswerCase{"SizeAck", {0xE4, 0x03, 0x66, 0x00, 0xB3}, AnswerKind::Reply, 0x66},
        AnswerCase{"DataAck", {0xE4, 0x03, 0x67, 0x00, 0xB2}, AnswerKind::Reply, 0x67},
        AnswerCase{"EndAck", {0xE4, 0x03, 0x68, 0x00, 0xB1}, AnswerKind::Reply, 0x68},
        AnswerCase{"OtherCommand", {0xE4, 0x03, 0x65, 0x00, 0xB4}, AnswerKind::Reply, 0x65},
        AnswerCase{
            "LengthByteNotExamined", {0xE4, 0x77, 0x69, 0x00, 0x3C}, AnswerKind::Reply, 0x69},
        AnswerCase{"LongerReply", {0xE4, 0x04, 0x67, 0x00, 0x01, 0xB0}, AnswerKind::Reply, 0x67},
        AnswerCase{"WrongChecksum", {0xE4, 0x03, 0x69, 0x00, 0xB1}, AnswerKind::Unknown, 0},
        AnswerCase{"FourBytes", {0xE4, 0x03, 0x69, 0xB0}, AnswerKind::Incomplete, 0},
        AnswerCase{"FourBytesSummingToZero", {0x52, 0x46, 0x00, 0x68}, AnswerKind::Incomplete, 0},
        AnswerCase{"Empty", {}, AnswerKind::Incomplete, 0},
        AnswerCase{"EchoedAltProbe",
                   {0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74},
                   AnswerKind::Alternate,
                   0},
        AnswerCase{
            "AltWithoutMark", {0x52, 0x46, 0x00, 0x00, 0x00, 0xF3, 0x75}, AnswerKind::Unknown, 0},
        AnswerCase{"AltWrongChecksum",
                   {0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x75},
                   AnswerKind::Unknown,
                   0},
        AnswerCase{"FiveBytesStartingAlt", {0x52, 0x00, 0x00, 0xF4, 0xBA}, AnswerKind::Unknown, 0},
        AnswerCase{
            "ShortAlternate", {0x52, 0x00, 0x00, 0x00, 0x00, 0xF4, 0xBA}, AnswerKind::Alternate, 0},
        AnswerCase{"EchoedProbe", {0xA0, 0x03, 0x69, 0x00, 0xF4}, AnswerKind::Unknown, 0},
        AnswerCase{"LeadingNoise", {0x00, 0xE4, 0x03, 0x69, 0x00, 0xB0}, AnswerKind::Unknown, 0}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace uhf
