#pragma once

#include <cstdint>

namespace uhf {

// Command byte of the upgrade protocol's frames; the reader's answer to a frame carries the
// frame's own code.
enum class UpgradeCode : std::uint8_t {
    BaudRate = 0x64,
    Size = 0x66,
    Data = 0x67,
    End = 0x68,
    Probe = 0x69,
};

constexpr std::uint8_t Byte(UpgradeCode code) {
    return static_cast<std::uint8_t>(code);
}

// The alternate probe and its answer start with this byte and hold the mark at its offset.
inline constexpr std::uint8_t kAltProbeHeader = 0x52;
inline constexpr std::uint8_t kAltProbeMark = 0xF4;
inline constexpr int kAltProbeMarkOffset = 5;

}  // namespace uhf
