#pragma once

#include <cstdint>
#include <vector>

#include "protocol/ProtocolCodes.h"

namespace uhf {

// One request or reply frame of the parameter protocol:
//   header, length (bytes after it), command, data (length - 2 bytes), checksum.
// Requests carry header 0xA0; replies 0xE0, 0xE4, or 0x00 for the fixed 17-byte frame.
class ReaderFrame {
  public:
    ReaderFrame() = default;
    virtual ~ReaderFrame() = default;
    ReaderFrame(const ReaderFrame&) = default;
    ReaderFrame& operator=(const ReaderFrame&) = default;

    // Makes this a request for `code` carrying `count` bytes of `bytes` (none when null).
    // Returns 0 when the count cannot be framed (254 or 255).
    int SetCommand(std::uint8_t code, const std::uint8_t* bytes, std::uint8_t count);

    // Recomputes `checksum` over header, length, command and data; 0 when length is below 2.
    int UpdateChecksum();

    // Writes the frame's length + 2 bytes to `buffer`; 0, writing nothing, when it does not fit.
    int Encode(std::uint8_t* buffer, int capacity, int& written) const;

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
