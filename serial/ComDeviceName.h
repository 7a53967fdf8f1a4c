#pragma once

#include <optional>
#include <string>

namespace uhf {

// The Windows device name for a COM port name: 4 characters (COM1..COM9) unchanged, 5 or 6
// characters behind \\.\ (COM10 -> \\.\COM10), any other length refused.
std::optional<std::string> ComDeviceName(const std::string& portName);

}  // namespace uhf
