#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace uhf {

// SHA-256 (FIPS 180-4), for the record of which image a reader got.
class Sha256 {
  public:
    Sha256();
    void Add(const std::uint8_t* bytes, std::size_t count);
    // The digest as 64 lowercase hexadecimal digits; the object is spent afterwards.
    std::string HexDigest();

    static std::string Of(const std::uint8_t* bytes, std::size_t count);

  private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state;
    std::array<std::uint8_t, 64> pending{};
    std::size_t pendingCount = 0;
    std::uint64_t totalBytes = 0;
};

}  // namespace uhf
