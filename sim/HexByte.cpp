#include "sim/HexByte.h"

#include <charconv>
#include <cstdint>

namespace uhf {

int HexByte(char high, char low) {
    const char digits[] = {high, low};
    std::uint8_t value = 0;
    const auto [end, error] = std::from_chars(digits, digits + 2, value, 16);
    return error == std::errc() && end == digits + 2 ? value : -1;
}

}  // namespace uhf
