#include "reader/TagFrameScanner.h"

#include "reader/FrameChecksum.h"

namespace uhf {

int IsTagFrameAt(const std::uint8_t* bytes, int count, int pos) {
    if (bytes == nullptr || pos < 0 || pos + kTagFrameSize > count) {
        return 0;
    }
    const std::uint8_t* f = bytes + pos;
    if (f[0] != 0xE0 || f[1] != 0x0C || f[2] != 0x58) {
        return 0;
    }
    return FrameChecksum(f, 0, kTagFrameSize - 1) == f[kTagFrameSize - 1] ? 1 : 0;
}

}  // namespace uhf
