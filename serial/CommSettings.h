#pragma once

#include <string>

namespace uhf {

// A settings string such as "115200,N,8,1" taken apart: baud rate, parity, data bits, stop bits.
struct CommSettings {
    int baudRate = 0;
    char parity = 'N';        // N, E, O, M or S
    int dataBits = 8;         // 5 to 8
    int stopBitsTenths = 10;  // 10, 15 or 20

    // Fills `out` from `text`; false, leaving `out` alone, when any field is missing or invalid.
    static bool Parse(const std::string& text, CommSettings& out);
};

}  // namespace uhf
