#pragma once

#include <string_view>

namespace uhf {

// Decimal numbers in text as the C library's atoi reads them, but without its undefined
// overflow: the settings' list indexes, the baud rates of the lists, a COM port's number.
class DecimalText {
  public:
    // Leading blanks and one sign are skipped; digits are read up to the first other
    // character; no digits give 0. A value beyond int is clamped to INT_MAX or INT_MIN.
    static int Read(std::string_view text);
};

}  // namespace uhf
