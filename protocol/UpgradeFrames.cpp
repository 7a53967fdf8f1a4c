#include "protocol/UpgradeFrames.h"

#include <cstring>

#include "protocol/FrameChecksum.h"
#include "protocol/ProtocolCodes.h"

namespace uhf {

namespace {
constexpr int kMinAnswer = 5;
}  // namespace

std::uint8_t PacketChecksum(const std::uint8_t* bytes, int count) {
    return FrameChecksum(bytes, 0, count);
}

std::array<std::uint8_t, 5> BuildBaudFrame(std::uint8_t index) {
    std::array<std::uint8_t, 5> frame{kRequestHeader, 0x03, Byte(UpgradeCode::BaudRate), index, 0};
    frame[4] = PacketChecksum(frame.data(), 4);
    return frame;
}

std::array<std::uint8_t, 6> BuildSizeFrame(std::uint16_t imageLength) {
    std::array<std::uint8_t, 6> frame{kRequestHeader,
                                      0x04,
                                      Byte(UpgradeCode::Size),
                                      static_cast<std::uint8_t>(imageLength >> 8),
                                      static_cast<std::uint8_t>(imageLength & 0xFF),
                                      0};
    frame[5] = PacketChecksum(frame.data(), 5);
    return frame;
}

int PacketCountFor(int imageLength) {
    return imageLength / kDataBytesPerPacket + (imageLength % kDataBytesPerPacket != 0 ? 1 : 0);
}

int BuildDataFrame(const std::uint8_t* image, int imageLength, int packet, int packetCount,
                   std::uint8_t* out) {
    const int offset = packet * kDataBytesPerPacket;
    if (packet < 0 || imageLength < 0 || offset > imageLength) {
        return 0;
    }
    // Every frame before the last is full; the last carries whatever is left.
    const int left = imageLength - offset;
    const int count = packet < packetCount - 1 ? kDataBytesPerPacket : left;
    if (count < 0 || count > kDataBytesPerPacket || count > left) {
        return 0;
    }
    out[0] = kRequestHeader;
    out[1] = static_cast<std::uint8_t>(count + 4);
    out[2] = Byte(UpgradeCode::Data);
    if (count > 0) {
        std::memcpy(out + 3, image + offset, static_cast<std::size_t>(count));
    }
    out[3 + count] = 0x00;
    out[4 + count] = 0x00;
    out[5 + count] = PacketChecksum(out, count + 5);
    return count + 6;
}

Answer JudgeAnswer(const std::uint8_t* run, int count) {
    if (count < kMinAnswer) {
        return {AnswerKind::Incomplete, 0};
    }
    if (run[0] != kUpgradeReplyHeader && run[0] != kAltProbeHeader) {
        return {AnswerKind::Unknown, 0};
    }
    const bool checksumGood = PacketChecksum(run, count - 1) == run[count - 1];
    if (run[0] == kUpgradeReplyHeader && checksumGood) {
        return {AnswerKind::Reply, run[2]};
    }
    // A 5-byte run has no byte at the mark's offset, so it cannot be an alternate answer.
    if (run[0] == kAltProbeHeader && checksumGood && count > kAltProbeMarkOffset &&
        run[kAltProbeMarkOffset] == kAltProbeMark) {
        return {AnswerKind::Alternate, 0};
    }
    return {AnswerKind::Unknown, 0};
}

}  // namespace uhf
