#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace uhf {

enum class ImageError {
    None,
    Missing,     // no file at the path
    Unreadable,  // it exists but cannot be opened or read
    Truncated,   // reading ended before the size the file claimed
    TooLong,     // more bytes than the 16-bit size frame can announce
    Empty,       // no bytes at all: a failed build or a wrong pick, never firmware
};

const char* ToString(ImageError error);

// Reads a firmware file once and whole, so the transfer never streams bytes it has not loaded.
class FirmwareReader {
  public:
    // Loads the file at `path` into `image`; on any error `image` is left empty.
    static ImageError Load(const std::string& path, std::vector<std::uint8_t>& image);
};

}  // namespace uhf
