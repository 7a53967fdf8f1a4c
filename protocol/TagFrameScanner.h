#pragma once

#include <cstdint>

namespace uhf {

// Tag frames that the reader sends unasked while it identifies tags:
//   E0 0C 58 <2 bytes> <8-byte identifier> checksum   (14 bytes)
inline constexpr int kTagFrameSize = 14;
inline constexpr int kTagIdOffset = 5;
inline constexpr int kTagIdSize = 8;

// True when the kTagFrameSize bytes from `pos` (all within `count`) are a tag frame.
bool IsTagFrameAt(const std::uint8_t* bytes, int count, int pos);

// Scans `count` bytes for tag frames, calling onTag(identifier) for each one in order, and
// re-synchronising one byte at a time after anything else. Returns the number of bytes done
// with: the rest (at most 13 bytes) may be the start of a frame still arriving.
template <typename OnTag>
int ScanTagFrames(const std::uint8_t* bytes, int count, OnTag&& onTag) {
    int i = 0;
    while (i + kTagFrameSize <= count) {
        if (IsTagFrameAt(bytes, count, i)) {
            onTag(bytes + i + kTagIdOffset);
            i += kTagFrameSize;
        } else {
            ++i;
        }
    }
    return i;
}

}  // namespace uhf
