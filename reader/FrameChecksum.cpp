#include "reader/FrameChecksum.h"

namespace uhf {

std::uint8_t FrameChecksum(const std::uint8_t* bytes, int start, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i) {
        sum += bytes[start + i];
    }
    return static_cast<std::uint8_t>((256u - (sum & 0xFFu)) & 0xFFu);
}

}  // namespace uhf
