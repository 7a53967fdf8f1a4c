// The settings-file reader and writer on arbitrary file bytes and arbitrary names and values:
// no read or write out of bounds, a refused Set changes nothing, an accepted Set reads back as
// the value with its blanks and surrounding quotes dropped, and other keys keep their values.
//
// Input: bytes 0..2 = lengths (mod 32) of the section, key and value that follow; then an
// unrelated key's length (mod 16) and the key; the rest = the file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/ProfileText.h"

namespace {

std::string_view Take(const std::uint8_t*& data, std::size_t& size, std::size_t wanted) {
    const std::size_t n = std::min(wanted, size);
    std::string_view out(reinterpret_cast<const char*>(data), n);
    data += n;
    size -= n;
    return out;
}

// What a reader of the file sees of a stored value.
std::string Expected(std::string_view value) {
    value = uhf::ProfileText::Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::size_t sectionLength = data[0] % 32;
    const std::size_t keyLength = data[1] % 32;
    const std::size_t valueLength = data[2] % 32;
    const std::size_t otherLength = data[3] % 16;
    data += 4;
    size -= 4;
    const std::string_view section = Take(data, size, sectionLength);
    const std::string_view key = Take(data, size, keyLength);
    const std::string_view value = Take(data, size, valueLength);
    const std::string_view otherKey = Take(data, size, otherLength);
    const std::string file(reinterpret_cast<const char*>(data), size);

    uhf::ProfileText text(file);
    const std::optional<std::string> otherBefore = text.Find(section, otherKey);
    (void)text.Find(otherKey, key);

    if (!text.Set(section, key, value)) {
        if (text.Bytes() != file) {
            __builtin_trap();
        }
        return 0;
    }
    if (text.Find(section, key) != Expected(value)) {
        __builtin_trap();
    }
    const bool sameKey =
        uhf::ProfileText::NamesEqual(uhf::ProfileText::Trim(otherKey), uhf::ProfileText::Trim(key));
    if (!sameKey && text.Find(section, otherKey) != otherBefore) {
        __builtin_trap();
    }
    // Setting the same value again changes no byte.
    const std::string once = text.Bytes();
    if (!text.Set(section, key, value) || text.Bytes() != once) {
        __builtin_trap();
    }
    return 0;
}
