#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/ProtocolCodes.h"

namespace uhf {

// One request or reply frame of the parameter protocol:
//   header, length (bytes after it), command, data (length - 2 bytes), checksum.
// Requests carry header 0xA0; replies 0xE0, 0xE4, or 0x00 for the fixed 17-byte frame.
class ReaderFrame {
  public:
    // Makes this a request for `code` carrying `count` bytes of `bytes` (none when null, whatever
    // the count). False, changing nothing, for a count of 255; false for 254, whose length wraps
    // to 0.
    bool SetCommand(std::uint8_t code, const std::uint8_t* bytes, std::uint8_t count);

    // Recomputes `checksum` over header, length, command and data; false when length is below 2.
    bool UpdateChecksum();

    // Writes the frame's length + 2 bytes to `buffer` with the frame encoder, whose checksum is
    // the one UpdateChecksum keeps, and returns how many; nothing, writing nothing, when they do
    // not fit or the record holds no whole frame.
    std::optional<std::size_t> Encode(std::span<std::uint8_t> buffer) const;

    // Fills the record with a received reply; the data are copied.
    void Assign(std::uint8_t newHeader, std::uint8_t newLength, std::uint8_t newCommand,
                const std::uint8_t* bytes, int count, std::uint8_t newChecksum);

    std::uint8_t header = kRequestHeader;
    std::uint8_t command = 0;
    std::uint8_t length = 0;
    std::vector<std::uint8_t> data;
    std::uint8_t checksum = 0;
};

}  // namespace uhf
