#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "protocol/TagFrameScanner.h"

namespace uhf {

// Whole frames of the parameter protocol as bytes, for the side that answers requests (the
// simulator and the test fakes) as much as for the side that sends them.

// header, length (the bytes after it: command, data, checksum), command, data, checksum.
std::vector<std::uint8_t> EncodeFrame(std::uint8_t header, std::uint8_t command,
                                      const std::vector<std::uint8_t>& data);

// A request frame that fills exactly the bytes given, checked whole.
struct RequestView {
    std::uint8_t command = 0;
    std::vector<std::uint8_t> data;
};

// The request in `count` bytes: header 0xA0, a length that counts the rest, a good checksum;
// nothing for anything else.
std::optional<RequestView> ParseRequest(const std::uint8_t* bytes, std::size_t count);

// ReadBlock and WriteBlock requests, and the ReadBlock answer, start their data with the block:
// length, address high, address.
inline constexpr std::size_t kBlockHeadSize = 3;

// The data of a ReadBlock request, or of a WriteBlock request with its `length` values.
std::vector<std::uint8_t> EncodeBlockRequestData(std::uint8_t length, std::uint8_t addressHigh,
                                                 std::uint8_t address,
                                                 const std::uint8_t* values = nullptr);

// The reader's answer to ReadBlock: the request's three data bytes (length, address high,
// address) again, then the values in address order.
std::vector<std::uint8_t> EncodeReadBlockReply(
    const std::array<std::uint8_t, kBlockHeadSize>& requestData,
    const std::vector<std::uint8_t>& values);

// E0 04 88 88 88 84: the acknowledgement that answers any request.
std::vector<std::uint8_t> EncodeAcknowledgement();

// E0 0C 58 a b <identifier> checksum.
std::vector<std::uint8_t> EncodeTagFrame(const std::array<std::uint8_t, kTagIdSize>& id,
                                         std::uint8_t a, std::uint8_t b);

}  // namespace uhf
