#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace uhf {

// One piece of a byte stream as the protocols frame it: a whole frame and what it means
// ("ReadBlock 100+2", "tag report 01 02 03 04 05 06 07 08"), or bytes that start no frame
// ("garbage, 3 bytes").
struct FramePiece {
    std::vector<std::uint8_t> bytes;
    std::string meaning;
};

// Cuts one direction of a line's bytes into the frames of both protocols, with the same rules
// that the link, the transfer and the simulator use (request and reply recognition, the tag
// frame, the alternate probe), as the bytes arrive in pieces of any size. Pure: bytes in,
// pieces out. It counts the upgrade's data frames from the last size frame, so that each says
// its place ("upgrade data 17/1024, 64 bytes").
class FrameSplitter {
  public:
    // Takes `count` more bytes; returns the pieces now whole, in order. Bytes that may be the
    // start of a frame still arriving are held: never more than the longest frame, 257 bytes.
    std::vector<FramePiece> Feed(const std::uint8_t* bytes, std::size_t count);
    // The stream has paused or ended: the held bytes are cut for good, an unfinished frame as
    // garbage.
    std::vector<FramePiece> Flush();
    bool Holding() const { return !pending.empty(); }

  private:
    std::vector<FramePiece> Cut(bool final);
    std::string Describe(const std::uint8_t* frame, std::size_t size);

    std::vector<std::uint8_t> pending;
    int packetCount = 0;  // from the last size frame; 0 when none was seen
    int packetsSeen = 0;
};

// "A0 02 FE 60": upper-case hexadecimal, one space between bytes.
std::string HexText(const std::uint8_t* bytes, std::size_t count);

}  // namespace uhf
