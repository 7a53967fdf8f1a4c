#pragma once

#include <array>
#include <chrono>
#include <cstddef>

namespace uhf {

// The rates the reader talks at, in the order the windows list them. The index is what the
// upgrade's baud-rate frame carries.
inline constexpr std::array<int, 5> kBaudRates{9600, 19200, 38400, 57600, 115200};

// The upgrade tells the reader its download rate at this rate.
inline constexpr int kBaudChangeRate = 9600;

// Index of `rate` in kBaudRates, or -1 for any other rate.
int BaudRateIndex(int rate);

// The rate at `index` of kBaudRates, or 0 outside it.
int BaudRateAt(int index);

// How long `count` bytes take on the line at `baud`: 10 bits a byte (8N1), rounded up so that a
// byte never counts as gone before its stop bit.
std::chrono::microseconds LineTime(std::size_t count, int baud);

}  // namespace uhf
