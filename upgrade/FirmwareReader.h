#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "upgrade/TransferError.h"

namespace uhf {

// Reads a firmware file once and whole, so the transfer never streams bytes it has not loaded.
class FirmwareReader {
  public:
    // Loads the file at `path` into `image`: None, or one of the Firmware errors with `image`
    // left empty. For FirmwareUnreadable, `reason` (when given) says why: "it is a directory",
    // "it is a FIFO", "Permission denied", ...
    static TransferError Load(const std::string& path, std::vector<std::uint8_t>& image,
                              std::string* reason = nullptr);
};

}  // namespace uhf
