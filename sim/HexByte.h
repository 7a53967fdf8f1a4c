#pragma once

namespace uhf {

// The byte that two hexadecimal digits of either case spell, or -1 when they are not two such
// digits.
int HexByte(char high, char low);

}  // namespace uhf
