#pragma once

#include <array>

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

}  // namespace uhf
