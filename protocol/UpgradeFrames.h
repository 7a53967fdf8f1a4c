#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "protocol/FrameChecksum.h"
#include "protocol/FrameCodec.h"
#include "protocol/ProtocolCodes.h"

namespace uhf {

// Frames of the firmware upgrade protocol and the judging of the reader's answers. Pure: bytes
// in, bytes out, so tests and benchmarks can drive them without a port.

inline constexpr int kDataBytesPerPacket = 64;
inline constexpr int kMaxPacketSize = kDataBytesPerPacket + 6;  // A0 len 67, data, 00 00, checksum
inline constexpr int kMaxImageLength = 65535;                   // the size frame carries 16 bits
// How long the download tool gives a probe before it sends again.
inline constexpr int kProbeAnswerMs = 500;
// How long it gives the baud-rate frame: its answer takes effect only then.
inline constexpr int kBaudAnswerMs = 300;
// The pause between the size frame's answer and the first data frame.
inline constexpr int kFirstDataPauseMs = 100;
// E4 03 code status checksum: the reader's answer to every upgrade frame.
inline constexpr int kUpgradeAnswerSize = 5;

// A0 03 69 00 checksum.
inline constexpr auto kProbeFrame =
    EncodeFixedFrame(kRequestHeader, Byte(UpgradeCode::Probe), std::array<std::uint8_t, 1>{0x00});
// 52 46 00 00 00 F4 00 00 checksum: the one frame without the A0 layout, closed the same way.
inline constexpr std::array<std::uint8_t, 9> kAltProbeFrame = [] {
    std::array<std::uint8_t, 9> frame{kAltProbeHeader, 0x46, 0x00, 0x00, 0x00, kAltProbeMark};
    frame[8] = FrameChecksum(frame.data(), 0, 8);
    return frame;
}();
// A0 02 68 checksum.
inline constexpr auto kEndFrame =
    EncodeFixedFrame(kRequestHeader, Byte(UpgradeCode::End), std::array<std::uint8_t, 0>{});

// (256 - sum of `count` bytes modulo 256) modulo 256; 0 for no bytes.
std::uint8_t PacketChecksum(const std::uint8_t* bytes, int count);

// A0 03 64 index checksum.
constexpr std::array<std::uint8_t, 5> BuildBaudFrame(std::uint8_t index) {
    return EncodeFixedFrame(kRequestHeader, Byte(UpgradeCode::BaudRate), std::array{index});
}

// A0 04 66 high low checksum.
constexpr std::array<std::uint8_t, 6> BuildSizeFrame(std::uint16_t imageLength) {
    return EncodeFixedFrame(kRequestHeader, Byte(UpgradeCode::Size),
                            std::array{static_cast<std::uint8_t>(imageLength >> 8),
                                       static_cast<std::uint8_t>(imageLength & 0xFF)});
}

// Number of data frames for an image: length / 64, plus 1 for a remainder.
int PacketCountFor(int imageLength);

// Builds data frame `packet` of `image` into `out`: A0 len 67, the image bytes, 00 00, checksum;
// returns its size. Every frame before the last of `packetCount` carries 64 bytes; the last
// carries what is left, 0 to 64 bytes. Nothing, building nothing, when the packet does not lie
// in the image or the frame does not fit `out`.
std::optional<std::size_t> BuildDataFrame(std::span<const std::uint8_t> image, int packet,
                                          int packetCount, std::span<std::uint8_t> out);

// How long the size, data and end frames of an image of `imageLength` bytes take at
// `downloadBaud`, each on the wire, then `turnaround` until its answer, then the answer.
std::chrono::microseconds StreamDuration(int imageLength, int downloadBaud,
                                         std::chrono::microseconds turnaround);
// A whole upgrade answered at once but for `turnaround`: the waits of the probe and baud-rate
// timers and the pause before the first data frame, then the stream.
std::chrono::microseconds UpgradeDuration(int imageLength, int downloadBaud,
                                          std::chrono::microseconds turnaround);

// How a gathered run of received bytes reads, judged whole from its first byte to its last.
enum class AnswerKind {
    Incomplete,  // fewer than 5 bytes: wait for more
    Unknown,     // wrong checksum or first byte: keep the bytes, judge again with more
    Reply,       // E4 .. with a good checksum; `command` tells what it answers
    Alternate,   // 52 .. with a good checksum and F4 at offset 5: a probe answer
};

struct Answer {
    AnswerKind kind = AnswerKind::Incomplete;
    std::uint8_t command = 0;
};

Answer JudgeAnswer(const std::uint8_t* run, int count);

}  // namespace uhf
