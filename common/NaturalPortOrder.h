#pragma once

#include <string_view>

namespace uhf {

// Orders port names with their digit runs compared as numbers: COM3 before COM10, ttyS2 before
// ttyS10 before ttyUSB0. Other characters compare as bytes. Equal numbers spelled differently
// put the shorter spelling first (COM1 before COM01), so the order is strict and total, as
// std::sort needs.
struct NaturalPortOrder {
    bool operator()(std::string_view a, std::string_view b) const;
};

}  // namespace uhf
