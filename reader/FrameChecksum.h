#pragma once

#include <cstdint>

namespace uhf {

// Two's complement of the 8-bit sum of `count` bytes from `start`: appended to a frame, it makes
// the whole frame sum to 0 modulo 256. Both serial protocols of the reader close frames this way.
std::uint8_t FrameChecksum(const std::uint8_t* bytes, int start, int count);

}  // namespace uhf
