#pragma once

#include <cstdint>

namespace uhf {

// 8-bit sum of `count` bytes from `start`, added to `sum`.
constexpr std::uint8_t ByteSum(const std::uint8_t* bytes, int start, int count,
                               std::uint8_t sum = 0) {
    unsigned total = sum;
    for (int i = 0; i < count; ++i) {
        total += bytes[start + i];
    }
    return static_cast<std::uint8_t>(total & 0xFFu);
}

// Two's complement of an 8-bit sum: the byte that brings the sum to 0 modulo 256.
constexpr std::uint8_t ChecksumOfSum(std::uint8_t sum) {
    return static_cast<std::uint8_t>(0x100 - sum);
}

// Two's complement of the 8-bit sum of `count` bytes from `start`: appended to a frame, it makes
// the whole frame sum to 0 modulo 256. Both serial protocols of the reader close frames this way.
constexpr std::uint8_t FrameChecksum(const std::uint8_t* bytes, int start, int count) {
    return ChecksumOfSum(ByteSum(bytes, start, count));
}

}  // namespace uhf
