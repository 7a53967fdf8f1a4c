#pragma once

#include <array>
#include <cstdint>

namespace uhf {

// Frames of the firmware upgrade protocol and the judging of the reader's answers. Pure: bytes
// in, bytes out, so tests and benchmarks can drive them without a port.

inline constexpr int kDataBytesPerPacket = 64;
inline constexpr int kMaxPacketSize = kDataBytesPerPacket + 6;  // A0 len 67, data, 00 00, checksum
inline constexpr int kMaxImageLength = 65535;                   // the size frame carries 16 bits

inline constexpr std::array<std::uint8_t, 5> kProbeFrame{0xA0, 0x03, 0x69, 0x00, 0xF4};
inline constexpr std::array<std::uint8_t, 9> kAltProbeFrame{0x52, 0x46, 0x00, 0x00, 0x00,
                                                            0xF4, 0x00, 0x00, 0x74};
inline constexpr std::array<std::uint8_t, 4> kEndFrame{0xA0, 0x02, 0x68, 0xF6};

// (256 - sum of `count` bytes modulo 256) modulo 256; 0 for no bytes.
std::uint8_t PacketChecksum(const std::uint8_t* bytes, int count);

// A0 03 64 index checksum.
std::array<std::uint8_t, 5> BuildBaudFrame(std::uint8_t index);

// A0 04 66 high low checksum.
std::array<std::uint8_t, 6> BuildSizeFrame(std::uint16_t imageLength);

// Number of data frames for an image: length / 64, plus 1 for a remainder.
int PacketCountFor(int imageLength);

// Builds data frame `packet` of `image` into `out` (kMaxPacketSize bytes) and returns its size.
// Every frame before the last of `packetCount` carries 64 bytes; the last carries what is left,
// 0 to 64 bytes. Returns 0, building nothing, when the packet does not lie in the image.
int BuildDataFrame(const std::uint8_t* image, int imageLength, int packet, int packetCount,
                   std::uint8_t* out);

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
