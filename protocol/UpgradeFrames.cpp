#include "protocol/UpgradeFrames.h"

#include <algorithm>
#include <array>

#include "protocol/BaudRates.h"

namespace uhf {

namespace {
constexpr int kMinAnswer = 5;
}  // namespace

std::uint8_t PacketChecksum(const std::uint8_t* bytes, int count) {
    return FrameChecksum(bytes, 0, count);
}

int PacketCountFor(int imageLength) {
    return imageLength / kDataBytesPerPacket + (imageLength % kDataBytesPerPacket != 0 ? 1 : 0);
}

std::optional<std::size_t> BuildDataFrame(std::span<const std::uint8_t> image, int packet,
                                          int packetCount, std::span<std::uint8_t> out) {
    constexpr std::size_t kPerPacket = kDataBytesPerPacket;
    if (packet < 0 || static_cast<std::size_t>(packet) * kPerPacket > image.size()) {
        return std::nullopt;
    }
    // Every frame before the last is full; the last carries whatever is left.
    const auto left = image.subspan(static_cast<std::size_t>(packet) * kPerPacket);
    const std::size_t count = packet < packetCount - 1 ? kPerPacket : left.size();
    if (count > kPerPacket || count > left.size()) {
        return std::nullopt;
    }
    constexpr std::array<std::uint8_t, 2> kDataTrailer{0x00, 0x00};
    return EncodeFrameInto(out, kRequestHeader, Byte(UpgradeCode::Data), left.first(count),
                           kDataTrailer);
}

std::chrono::microseconds StreamDuration(int imageLength, int downloadBaud,
                                         std::chrono::microseconds turnaround) {
    const int packets = std::max(PacketCountFor(imageLength), 1);  // an empty image too
    // Each data frame carries 6 bytes around its image bytes; the size frame 6, the end frame 4.
    const std::size_t sent = static_cast<std::size_t>(imageLength) + 6u * packets + 6 + 4;
    const std::size_t answers = static_cast<std::size_t>(packets + 2) * kUpgradeAnswerSize;
    return LineTime(sent + answers, downloadBaud) + (packets + 2) * turnaround;
}

std::chrono::microseconds UpgradeDuration(int imageLength, int downloadBaud,
                                          std::chrono::microseconds turnaround) {
    return std::chrono::milliseconds(kProbeAnswerMs + kBaudAnswerMs + kFirstDataPauseMs) +
           StreamDuration(imageLength, downloadBaud, turnaround);
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
