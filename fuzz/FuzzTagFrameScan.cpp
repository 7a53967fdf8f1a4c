// The receive thread's tag-frame scan, fed the stream in reads split anywhere: the identifiers it
// finds must be exactly those found scanning the whole stream at once, the bytes it keeps for
// the next read never exceed 13, and nothing reaches past the 2048-byte buffer.
//
// Input: byte 0 = number of split sizes n (mod 32), the next n bytes = read sizes (0 means a
// read that brought nothing), the rest = the stream.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "protocol/TagFrameScanner.h"
#include "reader/TagCollector.h"

namespace {

constexpr int kBufferSize = uhf::TagCollector::kBufferSize;

std::vector<std::array<std::uint8_t, 8>> ScanWhole(const std::uint8_t* stream, int count) {
    std::vector<std::array<std::uint8_t, 8>> ids;
    uhf::ScanTagFrames(stream, count, [&](const std::uint8_t* id) {
        std::array<std::uint8_t, 8> copy{};
        std::memcpy(copy.data(), id, 8);
        ids.push_back(copy);
    });
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::size_t splits = std::min<std::size_t>(data[0] % 32, size - 1);
    const std::uint8_t* sizes = data + 1;
    const std::uint8_t* stream = data + 1 + splits;
    const int count = static_cast<int>(std::min<std::size_t>(size - 1 - splits, 1 << 16));

    // A heap buffer of exactly the thread's size, so ASan sees any access past it.
    std::vector<std::uint8_t> buffer(kBufferSize);
    std::vector<std::array<std::uint8_t, 8>> found;
    int fill = 0;
    int offset = 0;
    std::size_t read = 0;
    while (offset < count) {
        // After the given sizes, the rest arrives in full reads.
        int want = read < splits ? sizes[read] * 9 : kBufferSize;
        ++read;
        want = std::min({want, kBufferSize - fill, count - offset});
        std::memcpy(buffer.data() + fill, stream + offset, static_cast<std::size_t>(want));
        offset += want;
        fill += want;
        const int done = uhf::ScanTagFrames(buffer.data(), fill, [&](const std::uint8_t* id) {
            if (id < buffer.data() || id + 8 > buffer.data() + fill) {
                __builtin_trap();
            }
            std::array<std::uint8_t, 8> copy{};
            std::memcpy(copy.data(), id, 8);
            found.push_back(copy);
        });
        if (done < 0 || done > fill || fill - done > uhf::kTagFrameSize - 1) {
            __builtin_trap();
        }
        std::memmove(buffer.data(), buffer.data() + done, static_cast<std::size_t>(fill - done));
        fill -= done;
    }
    if (found != ScanWhole(stream, count)) {
        __builtin_trap();
    }
    return 0;
}
