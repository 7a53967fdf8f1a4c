#pragma once

namespace uhf {

// The value of one hexadecimal digit of either case, or -1 for any other character.
int HexDigit(char c);

}  // namespace uhf
