#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace uhf {

// Whole-file reads and writes for the simulator's state and firmware files. A write goes to a
// temporary file beside the target, is flushed to disk and then renamed over it, so a reader of
// the file sees the old contents or the new, never half of them.
class AtomicFile {
  public:
    // The file's contents; nothing when it does not exist (`missing` set), cannot be read, or
    // holds more than `maxSize` bytes (a device such as /dev/zero never ends).
    static std::optional<std::string> Read(const std::string& path, std::size_t maxSize,
                                           bool& missing, std::string& error);
    static bool Write(const std::string& path, const std::string& contents, std::string& error);
};

}  // namespace uhf
