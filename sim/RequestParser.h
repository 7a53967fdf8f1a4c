#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "sim/SimConfig.h"

namespace uhf {

// One request as the reader received it.
struct ReceivedRequest {
    enum class Kind { Frame, AltProbe, BadChecksum };
    Kind kind = Kind::Frame;
    std::vector<std::uint8_t> bytes;  // the whole frame as it arrived
    // Frame only: the command byte and the bytes between it and the checksum.
    std::uint8_t command = 0;
    std::vector<std::uint8_t> data;
};

// Cuts the bytes the reader receives into requests: 0xA0 frames (header, length counting the
// bytes after it, command, data, checksum) and the fixed nine-byte alternate probe. Bytes that
// start neither are noise and are passed over one at a time; a frame whose checksum fails is
// reported as such and passed over by one byte, so a frame hidden behind it is still found. A
// partial frame that gets no further byte within `gap` is given up the same way.
class RequestParser {
  public:
    static constexpr std::size_t kCapacity = 1024;

    explicit RequestParser(SimTime gap);

    void Feed(const std::uint8_t* bytes, std::size_t count, SimTime now);
    // The next complete request, or nothing while none is complete at `now`.
    std::optional<ReceivedRequest> Next(SimTime now);
    // Noise bytes passed over since the last call.
    std::size_t TakeSkipped();

    std::size_t Pending() const { return buffer.size(); }
    // When the bytes held now stop waiting for the rest of their frame; nothing when none are held.
    std::optional<SimTime> PartialExpiresAt() const;

  private:
    void Skip(std::size_t count);

    SimTime gap;
    SimTime lastByteAt{0};
    std::deque<std::uint8_t> buffer;
    std::size_t skipped = 0;
};

}  // namespace uhf
