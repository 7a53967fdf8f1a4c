#include "sim/ParameterMemory.h"

#include <cstdio>

#include "sim/HexDigit.h"

namespace uhf {

namespace {

struct FactorySetting {
    int address;
    std::uint8_t value;
};

// Addresses of the fields the tools move; every other byte starts at 0.
constexpr FactorySetting kFactorySettings[] = {
    {100, 0x01},  // param100
    {101, 0x1E},  // power
    {112, 0x01},  // param112, kept within 1..3
    {113, 0x0A},  // timeDistance: 100 ms
    {114, 0x01},  // connectPort: RS-485
    {115, 0x01},  // protocol: Wiegand26
    {116, 0x0A},  // pulseWidth: 100 us
    {117, 0x0F},  // pulsePeriods: 1.5 ms
    {118, 0x01},  // exportTime
    {119, 0x01},  // exportDistance: 100 ms
    {123, 0x00},  // idBorderUponDifferent: off
    {132, 0x00},  // param132
    {135, 0x00},  // cardMode: single card
    {137, 0x02},  // param137, kept within 0..15
    {138, 0x00},  // read with 137, never written by the tools
    {144, 0x00},  // lockedFrequency: hopping
};

}  // namespace

ParameterMemory::ParameterMemory() {
    for (const FactorySetting& s : kFactorySettings) {
        bytes[static_cast<std::size_t>(s.address)] = s.value;
    }
}

bool ParameterMemory::Read(int address, int count, std::uint8_t* values) const {
    if (address < 0 || count < 0 || address + count > kSize) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        values[i] = bytes[static_cast<std::size_t>(address + i)];
    }
    return true;
}

bool ParameterMemory::Write(int address, const std::uint8_t* values, int count) {
    if (address < 0 || count < 0 || address + count > kSize) {
        return false;
    }
    for (int i = 0; i < count; ++i) {
        bytes[static_cast<std::size_t>(address + i)] = values[i];
    }
    return true;
}

std::string ParameterMemory::Serialize() const {
    std::string text;
    char cell[4];
    for (int row = 0; row < kSize / 16; ++row) {
        for (int col = 0; col < 16; ++col) {
            std::snprintf(cell, sizeof cell, "%02X",
                          bytes[static_cast<std::size_t>(row * 16 + col)]);
            text += cell;
            text += col == 15 ? '\n' : ' ';
        }
    }
    return text;
}

std::optional<ParameterMemory> ParameterMemory::Parse(std::string_view text, std::string& error) {
    ParameterMemory memory;
    int count = 0;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') {
            while (i < text.size() && text[i] != '\n') {
                ++i;
            }
            continue;
        }
        const int high = HexDigit(c);
        const int low = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const bool endsHere = i + 2 >= text.size() || text[i + 2] == ' ' || text[i + 2] == '\t' ||
                              text[i + 2] == '\r' || text[i + 2] == '\n';
        if (high < 0 || low < 0 || !endsHere) {
            error = "line " + std::to_string(line) + ": expected a byte as two hexadecimal digits";
            return std::nullopt;
        }
        if (count == kSize) {
            error = "line " + std::to_string(line) + ": more than 256 bytes";
            return std::nullopt;
        }
        memory.bytes[static_cast<std::size_t>(count++)] =
            static_cast<std::uint8_t>(high * 16 + low);
        i += 2;
    }
    if (count != kSize) {
        error = "holds " + std::to_string(count) + " bytes, 256 expected";
        return std::nullopt;
    }
    return memory;
}

}  // namespace uhf
