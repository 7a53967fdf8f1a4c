#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>
#include <span>
#include <vector>

#include "fakes/FakeReader.h"
#include "protocol/FrameCodec.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Every encoder on a worked example, against the reader's bytes.
TEST(FrameCodecTest, EncodersGiveTheReadersBytes) {
    const struct {
        const char* name;
        Bytes encoded;
        Bytes expected;
    } examples[] = {
        {"status reply with E4 header",
         EncodeFrame(0xE4, 0xFE, {0x00}),
         {0xE4, 0x03, 0xFE, 0x00, 0x1B}},
        {"stop request", EncodeFrame(0xA0, 0xFE, {}), {0xA0, 0x02, 0xFE, 0x60}},
        {"acknowledgement", EncodeAcknowledgement(), {0xE0, 0x04, 0x88, 0x88, 0x88, 0x84}},
        {"upgrade answer to the probe", EncodeUpgradeAnswer(0x69), {0xE4, 0x03, 0x69, 0x00, 0xB0}},
        {"read block reply echoes length, high byte and address",
         EncodeReadBlockReply({0x02, 0x00, 0x64}, {0x01, 0x1E}),
         {0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x01, 0x1E, 0x31}},
        {"tag frame",
         EncodeTagFrame({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, 0x11, 0x22),
         {0xE0, 0x0C, 0x58, 0x11, 0x22, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x65}}};
    for (const auto& example : examples) {
        EXPECT_EQ(example.encoded, example.expected) << example.name;
    }
}

TEST(FrameCodecTest, EncoderRefusesWhatTheLengthByteOrTheRoomCannotHold) {
    const Bytes longest = EncodeFrame(0xA0, 0x62, Bytes(kMaxFrameData, 0x01));
    ASSERT_EQ(longest.size(), 257u);
    EXPECT_EQ(longest[1], 0xFF);
    EXPECT_EQ(std::accumulate(longest.begin(), longest.end(), 0u) % 256u, 0u);
    EXPECT_TRUE(EncodeFrame(0xA0, 0x62, Bytes(kMaxFrameData + 1, 0x01)).empty());

    std::array<std::uint8_t, 7> out{};
    out.fill(0xAA);
    const Bytes block{0x02, 0x00, 0x64};
    EXPECT_FALSE(EncodeFrameInto(std::span(out).first(6), 0xA0, 0x63, block));
    EXPECT_EQ(out[0], 0xAA) << "nothing written on refusal";
    EXPECT_EQ(EncodeFrameInto(out, 0xA0, 0x63, block), 7u);
    EXPECT_EQ(Bytes(out.begin(), out.end()), (Bytes{0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92}));
}

TEST(FrameCodecTest, ParsesAWholeRequestAndRefusesAnythingElse) {
    const Bytes read{0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92};
    const auto request = ParseRequest(read.data(), read.size());
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->command, 0x63);
    EXPECT_EQ(request->data, (Bytes{0x02, 0x00, 0x64}));

    const Bytes badChecksum{0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x93};
    const Bytes shortLength{0xA0, 0x04, 0x63, 0x02, 0x00, 0x64, 0x92};
    const Bytes replyHeader{0xE0, 0x02, 0xFE, 0x20};
    EXPECT_FALSE(ParseRequest(badChecksum.data(), badChecksum.size()).has_value());
    EXPECT_FALSE(ParseRequest(shortLength.data(), shortLength.size()).has_value());
    EXPECT_FALSE(ParseRequest(replyHeader.data(), replyHeader.size()).has_value());
    EXPECT_FALSE(ParseRequest(read.data(), 3).has_value());
}

TEST(FrameCodecTest, TheTestFakeAnswersReadBlockAsTheSimulatedReaderDoes) {
    test::FakeReader reader;  // holds 7 and 30 at 100 and 101
    EXPECT_EQ(reader.Answer({0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92}),
              (Bytes{0xE0, 0x07, 0x63, 0x02, 0x00, 0x64, 0x07, 0x1E, 0x2B}));
}

}  // namespace
}  // namespace uhf
