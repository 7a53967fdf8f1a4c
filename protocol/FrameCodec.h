#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "protocol/FrameChecksum.h"
#include "protocol/TagFrameScanner.h"

namespace uhf {

// The one frame encoder of both protocols, for the side that answers requests (the simulator and
// the test fakes) as much as for the side that sends them (the link's ReaderFrame, the upgrade's
// frames):
//   header, length (the bytes after it: command, data, checksum), command, data, checksum.
// Only the upgrade's alternate probe has another layout.

inline constexpr std::size_t kFrameOverhead = 4;  // header, length, command, checksum
// The length byte counts the data and two more.
inline constexpr std::size_t kMaxFrameData = 253;

// Writes the frame into `out` and returns its size; nothing, with nothing written, when the data
// do not fit the length byte or the frame does not fit `out`. The data may come in two pieces,
// `moreData` behind `data`, so that a caller need not gather them first.
constexpr std::optional<std::size_t> EncodeFrameInto(std::span<std::uint8_t> out,
                                                     std::uint8_t header, std::uint8_t command,
                                                     std::span<const std::uint8_t> data,
                                                     std::span<const std::uint8_t> moreData = {}) {
    const std::size_t count = data.size() + moreData.size();
    const std::size_t size = count + kFrameOverhead;
    if (count > kMaxFrameData || out.size() < size) {
        return std::nullopt;
    }
    out[0] = header;
    out[1] = static_cast<std::uint8_t>(count + 2);
    out[2] = command;
    std::copy(moreData.begin(), moreData.end(),
              std::copy(data.begin(), data.end(), out.begin() + 3));
    out[size - 1] = FrameChecksum(out.data(), 0, static_cast<int>(size - 1));
    return size;
}

// A frame whose data count is known when compiling, in an array of its own size: fixed frames
// are encoded, not typed in with their checksums.
template <std::size_t N>
constexpr std::array<std::uint8_t, N + kFrameOverhead> EncodeFixedFrame(
    std::uint8_t header, std::uint8_t command, const std::array<std::uint8_t, N>& data) {
    static_assert(N <= kMaxFrameData, "the length byte cannot count this much data");
    std::array<std::uint8_t, N + kFrameOverhead> frame{};
    EncodeFrameInto(frame, header, command, data);
    return frame;
}

// The frame in a vector of its own; empty when the data do not fit the length byte.
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

// E4 03 <code> 00 checksum: the reader's answer to an upgrade frame, carrying the frame's code.
std::vector<std::uint8_t> EncodeUpgradeAnswer(std::uint8_t code);

// E0 0C 58 a b <identifier> checksum.
std::vector<std::uint8_t> EncodeTagFrame(const std::array<std::uint8_t, kTagIdSize>& id,
                                         std::uint8_t a, std::uint8_t b);

}  // namespace uhf
