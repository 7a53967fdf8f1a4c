#include "common/AtomicFile.h"

#include <algorithm>
#include <array>
#include <utility>

namespace uhf {

AtomicFile::Contents AtomicFile::ReadChunks(const ChunkReader& readChunk,
                                            std::optional<std::size_t> size, std::size_t maxSize) {
    Contents contents;
    const std::size_t want = size.value_or(maxSize + 1);
    std::array<char, 4096> chunk{};
    while (contents.bytes.size() < want) {
        std::string error;
        const long got =
            readChunk(chunk.data(), std::min(chunk.size(), want - contents.bytes.size()), error);
        if (got < 0) {
            return {{}, FileError::Unreadable, std::move(error)};
        }
        if (got == 0) {
            break;
        }
        contents.bytes.append(chunk.data(), static_cast<std::size_t>(got));
    }
    if (contents.bytes.size() > maxSize) {
        return {{}, FileError::TooLarge, std::to_string(maxSize)};
    }
    if (size && contents.bytes.size() < *size) {
        return {{}, FileError::Truncated, {}};
    }
    return contents;
}

std::string Reason(const AtomicFile::Contents& contents) {
    switch (contents.error) {
        case FileError::None:
            return {};
        case FileError::NotRegular:
            return "it is " + contents.detail;
        case FileError::TooLarge:
            return "it is larger than " + contents.detail + " bytes";
        case FileError::Truncated:
            return "it ended before its size: it was being rewritten";
        case FileError::Missing:
        case FileError::Unreadable:
            return contents.detail;
    }
    return {};
}

}  // namespace uhf
