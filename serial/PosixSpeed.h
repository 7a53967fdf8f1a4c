#pragma once

#include <termios.h>

#include <optional>

namespace uhf {

// The termios speed of a baud rate, for the rates our ports can be set to: the reader's rates
// and their neighbours 1200 to 230400.
std::optional<speed_t> SpeedForBaud(int baud);

// The baud rate of a termios speed; 0 for one that is not in the table.
int BaudForSpeed(speed_t speed);

}  // namespace uhf
