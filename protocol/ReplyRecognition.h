#pragma once

#include <cstdint>

#include "protocol/ReaderFrame.h"

namespace uhf {

// Recognises a reply frame starting at `pos` of the `count` received bytes.
// On success fills `frame`, sets `consumed` to the frame's size on the wire and returns true.
// A miss only means that no frame starts at `pos`; nothing is consumed.
//   0xE0: length L at pos+1, except that command byte 0x80 makes the length count one byte more
//         than follows it (effective length L-1);
//   0xE4: the ordinary layout, 0x80 included;
//   0x00: the fixed 17-byte frame 00 FF xx <12 data> checksum FF.
// A frame whose (effective) length is below 2 has no data count and is a miss.
bool RecognizeReply(const std::uint8_t* bytes, int count, int pos, ReaderFrame& frame,
                    int& consumed);

// How many bytes from `pos` RecognizeReply needs before its verdict there is final, by the same
// rules: 1 for a byte that starts no frame.
int ReplyBytesNeeded(const std::uint8_t* bytes, int count, int pos);

}  // namespace uhf
