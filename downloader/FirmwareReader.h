#pragma once

#include <cstdint>
#include <iosfwd>
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
    // Loads the file at `path` into `image`; on any error `image` is left empty. For Unreadable,
    // `reason` (when given) says why: "it is a directory", "permission denied", ...
    static ImageError Load(const std::string& path, std::vector<std::uint8_t>& image,
                           std::string* reason = nullptr);

    // Reads `expectedSize` bytes from `in` into `image`; on any error `image` is left empty.
    static ImageError Read(std::istream& in, std::uintmax_t expectedSize,
                           std::vector<std::uint8_t>& image);
};

}  // namespace uhf
