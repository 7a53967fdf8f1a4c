#include "protocol/TagFrameScanner.h"

#include "protocol/FrameChecksum.h"
#include "protocol/ProtocolCodes.h"

namespace uhf {

bool IsTagFrameAt(const std::uint8_t* bytes, int count, int pos) {
    if (bytes == nullptr || pos < 0 || pos + kTagFrameSize > count) {
        return false;
    }
    const std::uint8_t* f = bytes + pos;
    if (f[0] != kReplyHeader || f[1] != kTagFrameSize - 2 || f[2] != Byte(ReaderCode::TagReport)) {
        return false;
    }
    return FrameChecksum(f, 0, kTagFrameSize - 1) == f[kTagFrameSize - 1];
}

}  // namespace uhf
