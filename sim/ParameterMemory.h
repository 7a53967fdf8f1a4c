#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace uhf {

// The reader's 256-byte parameter memory. A new one holds the factory settings: RS-485 output,
// Wiegand26, single-card mode, frequency hopping, and valid values in the bytes the tools only
// carry. The text form (16 lines of 16 hexadecimal bytes) is what `readersim --state` keeps.
class ParameterMemory {
  public:
    static constexpr int kSize = 256;

    ParameterMemory();

    // Copies `count` bytes from `address`; false, copying nothing, when the run leaves the memory.
    bool Read(int address, int count, std::uint8_t* values) const;
    // Stores `count` bytes at `address`; false, storing nothing, when the run leaves the memory.
    bool Write(int address, const std::uint8_t* values, int count);

    std::uint8_t At(int address) const { return bytes.at(static_cast<std::size_t>(address)); }

    std::string Serialize() const;
    // Reads the text form back; on failure returns nothing and says why in `error`.
    static std::optional<ParameterMemory> Parse(std::string_view text, std::string& error);

    bool operator==(const ParameterMemory&) const = default;

  private:
    std::array<std::uint8_t, kSize> bytes{};
};

}  // namespace uhf
