#include "protocol/FrameChecksum.h"

namespace uhf {

std::uint8_t ByteSum(const std::uint8_t* bytes, int start, int count, std::uint8_t sum) {
    unsigned total = sum;
    for (int i = 0; i < count; ++i) {
        total += bytes[start + i];
    }
    return static_cast<std::uint8_t>(total & 0xFFu);
}

std::uint8_t FrameChecksum(const std::uint8_t* bytes, int start, int count) {
    return ChecksumOfSum(ByteSum(bytes, start, count));
}

}  // namespace uhf
