#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>
#include <optional>
#include <utility>
#include <vector>

#include "protocol/FrameChecksum.h"
#include "protocol/ReaderFrame.h"
#include "protocol/ReplyRecognition.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes EncodeRequest(std::uint8_t code, const Bytes& data, bool withData = true) {
    ReaderFrame frame;
    EXPECT_TRUE(frame.SetCommand(code, withData ? data.data() : nullptr,
                                 static_cast<std::uint8_t>(data.size())));
    std::array<std::uint8_t, 300> buffer{};
    const std::optional<std::size_t> written = frame.Encode(buffer);
    EXPECT_TRUE(written.has_value());
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(written.value_or(0)));
}

struct RequestCase {
    std::uint8_t code;
    Bytes data;
    Bytes wire;
};

class RequestEncoding : public testing::TestWithParam<RequestCase> {};

TEST_P(RequestEncoding, ProducesTheExactBytes) {
    const RequestCase& c = GetParam();
    EXPECT_EQ(EncodeRequest(c.code, c.data, !c.data.empty()), c.wire);
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, RequestEncoding,
    testing::Values(
        RequestCase{0xFE, {}, {0xA0, 0x02, 0xFE, 0x60}},
        RequestCase{0x65, {}, {0xA0, 0x02, 0x65, 0xF9}},
        RequestCase{0x63, {0x02, 0x00, 0x64}, {0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92}},
        RequestCase{0x63, {0x08, 0x00, 0x70}, {0xA0, 0x05, 0x63, 0x08, 0x00, 0x70, 0x80}},
        RequestCase{0x63, {0x02, 0x00, 0x89}, {0xA0, 0x05, 0x63, 0x02, 0x00, 0x89, 0x6D}},
        RequestCase{
            0x62, {0x01, 0x00, 0x87, 0x01}, {0xA0, 0x06, 0x62, 0x01, 0x00, 0x87, 0x01, 0x6F}},
        RequestCase{0x62,
                    {0x02, 0x00, 0x64, 0x00, 0x1E},
                    {0xA0, 0x07, 0x62, 0x02, 0x00, 0x64, 0x00, 0x1E, 0x73}}));

TEST(ReaderFrameTest, EveryEncodedRequestSumsToZero) {
    for (int count = 0; count <= 60; ++count) {
        Bytes data(static_cast<std::size_t>(count));
        std::iota(data.begin(), data.end(), static_cast<std::uint8_t>(count * 7));
        const Bytes wire = EncodeRequest(static_cast<std::uint8_t>(0x40 + count), data, count > 0);
        ASSERT_EQ(wire.size(), static_cast<std::size_t>(count + 4));
        EXPECT_EQ(std::accumulate(wire.begin(), wire.end(), 0u) % 256u, 0u) << count;
    }
}

TEST(ReaderFrameTest, CountLimitsOfSetCommand) {
    std::array<std::uint8_t, 255> data{};
    ReaderFrame frame;
    EXPECT_TRUE(frame.SetCommand(0x62, data.data(), 253));
    EXPECT_EQ(frame.length, 255);
    ReaderFrame wraps;
    EXPECT_FALSE(wraps.SetCommand(0x62, data.data(), 254));
    ReaderFrame refused;
    refused.SetCommand(0x11, data.data(), 3);
    EXPECT_FALSE(refused.SetCommand(0x62, data.data(), 255));
    EXPECT_EQ(refused.command, 0x11) << "a refused count changes nothing";
    EXPECT_EQ(refused.length, 5);
}

TEST(ReaderFrameTest, NullDataIgnoresTheCount) {
    ReaderFrame frame;
    ASSERT_TRUE(frame.SetCommand(0xFE, nullptr, 9));
    EXPECT_EQ(frame.length, 2);
    EXPECT_TRUE(frame.data.empty());
    EXPECT_EQ(frame.checksum, 0x60);
}

TEST(ReaderFrameTest, EncodeRefusesABufferTooSmall) {
    std::array<std::uint8_t, 61> data{};
    ReaderFrame sixty;
    ASSERT_TRUE(sixty.SetCommand(0x62, data.data(), 60));
    std::array<std::uint8_t, 64> buffer{};
    buffer.fill(0xAA);
    EXPECT_EQ(sixty.Encode(buffer), 64u);

    ReaderFrame sixtyOne;
    ASSERT_TRUE(sixtyOne.SetCommand(0x62, data.data(), 61));
    buffer.fill(0xAA);
    EXPECT_FALSE(sixtyOne.Encode(buffer).has_value());
    EXPECT_FALSE(sixtyOne.Encode({}).has_value());
    // A record that holds no whole frame (length below 2, or less data than its length counts)
    // writes nothing even into room enough for one.
    ReaderFrame empty;
    EXPECT_FALSE(empty.Encode(buffer).has_value());
    ReaderFrame shortData;
    ASSERT_TRUE(shortData.SetCommand(0x62, data.data(), 3));
    shortData.data.pop_back();
    EXPECT_FALSE(shortData.Encode(buffer).has_value());
    std::array<std::uint8_t, 64> untouched{};
    untouched.fill(0xAA);
    EXPECT_EQ(buffer, untouched) << "nothing written on refusal";
}

TEST(ReaderFrameTest, UpdateChecksumRefusesShortLength) {
    ReaderFrame frame;
    frame.length = 1;
    EXPECT_FALSE(frame.UpdateChecksum());
}

TEST(FrameChecksumTest, ChecksumOfARange) {
    const Bytes bytes{0x11, 0xA0, 0x02, 0xFE, 0x22};
    EXPECT_EQ(FrameChecksum(bytes.data(), 1, 3), 0x60);
    EXPECT_EQ(FrameChecksum(bytes.data(), 0, 0), 0x00);
}

struct Recognised {
    bool found = false;
    int consumed = 0;
    ReaderFrame frame;
};

Recognised Recognise(const Bytes& bytes, int pos = 0, ReaderFrame frame = {}) {
    Recognised r;
    r.frame = std::move(frame);
    r.found =
        RecognizeReply(bytes.data(), static_cast<int>(bytes.size()), pos, r.frame, r.consumed);
    return r;
}

TEST(ReplyRecognitionTest, UpgradeHeaderReply) {
    const Recognised r = Recognise({0xE4, 0x03, 0xFE, 0x00, 0x1B});
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.consumed, 5);
    EXPECT_EQ(r.frame.header, 0xE4);
    EXPECT_EQ(r.frame.length, 3);
    EXPECT_EQ(r.frame.command, 0xFE);
    EXPECT_EQ(r.frame.data, Bytes{0x00});
    EXPECT_EQ(r.frame.checksum, 0x1B);
}

TEST(ReplyRecognitionTest, ShortLengthRuleBelongsToE0Alone) {
    const Recognised e0 = Recognise({0xE0, 0x04, 0x80, 0x00, 0x9C});
    ASSERT_TRUE(e0.found);
    EXPECT_EQ(e0.consumed, 5);
    EXPECT_EQ(e0.frame.length, 3);
    EXPECT_EQ(e0.frame.data, Bytes{0x00});

    EXPECT_FALSE(Recognise({0xE4, 0x04, 0x80, 0x00, 0x9C}).found);
    EXPECT_FALSE(Recognise({0xE4, 0x04, 0x80, 0x00, 0x9C, 0x00}).found);
}

TEST(ReplyRecognitionTest, FixedSeventeenByteFrame) {
    Bytes bytes{0x00, 0xFF, 0x42, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0x00, 0xFF};
    bytes[15] = FrameChecksum(bytes.data(), 0, 15);
    ReaderFrame earlier;
    earlier.checksum = 0x5A;
    const Recognised r = Recognise(bytes, 0, earlier);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.consumed, 17);
    EXPECT_EQ(r.frame.header, 0x00);
    EXPECT_EQ(r.frame.command, 0xFF);
    EXPECT_EQ(r.frame.length, 0xFF);
    EXPECT_EQ(r.frame.data, (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(r.frame.checksum, 0x5A) << "a fixed frame leaves the checksum as it was";

    Bytes badTail = bytes;
    badTail[16] = 0xFE;
    EXPECT_FALSE(Recognise(badTail).found);
    Bytes badSum = bytes;
    badSum[15] ^= 1;
    EXPECT_FALSE(Recognise(badSum).found);
    EXPECT_FALSE(Recognise(Bytes(bytes.begin(), bytes.end() - 1)).found);
}

TEST(ReplyRecognitionTest, CandidateWithMissingChecksumIsAMiss) {
    // E0 05 63 00 00 <checksum missing>
    EXPECT_FALSE(Recognise({0xE0, 0x05, 0x63, 0x00, 0x00, 0x00}).found);
}

TEST(ReplyRecognitionTest, FourByteReplyNeedsAByteBehindIt) {
    // E0 02 FE 20 is a complete reply without data, but five bytes are required from a header.
    EXPECT_FALSE(Recognise({0xE0, 0x02, 0xFE, 0x20}).found);
    const Recognised r = Recognise({0xE0, 0x02, 0xFE, 0x20, 0x77});
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.consumed, 4);
    EXPECT_TRUE(r.frame.data.empty());
}

TEST(ReplyRecognitionTest, LengthBelowTwoIsAMiss) {
    // E0 01 xx: length 1 would give a negative data count, even with a matching checksum.
    for (std::uint8_t length : {std::uint8_t{0}, std::uint8_t{1}}) {
        Bytes bytes{0xE0, length, 0x10, 0x00, 0x00, 0x00};
        bytes[length + 1] = FrameChecksum(bytes.data(), 0, length + 1);
        EXPECT_FALSE(Recognise(bytes).found) << int(length);
    }
    // E0 02 80: the 0x80 rule leaves an effective length of 1.
    EXPECT_FALSE(Recognise({0xE0, 0x02, 0x80, 0x1E, 0x00, 0x00}).found);
}

TEST(ReplyRecognitionTest, OtherBytesAndPositions) {
    const Bytes bytes{0x55, 0xE0, 0x03, 0xFE, 0x00, 0x1F, 0x00};
    EXPECT_FALSE(Recognise(bytes, 0).found);
    const Recognised r = Recognise(bytes, 1);
    ASSERT_TRUE(r.found);
    EXPECT_EQ(r.consumed, 5);
    EXPECT_FALSE(Recognise(bytes, 7).found);
    EXPECT_FALSE(Recognise(bytes, -1).found);
}

}  // namespace
}  // namespace uhf
