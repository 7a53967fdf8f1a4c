#include "sim/ParameterMemory.h"

#include <cstdio>

#include "protocol/ParamFields.h"
#include "sim/HexByte.h"

namespace uhf {

namespace {

struct FactorySetting {
    ParamField field;
    std::uint8_t value;
};

// The fields the tools move; every other byte starts at 0.
constexpr FactorySetting kFactorySettings[] = {
    {ParamField::Param100, 0x01},
    {ParamField::Power, 0x1E},
    {ParamField::Param112, 0x01},
    {ParamField::TimeDistance, 0x0A},  // 100 ms
    {ParamField::ConnectPort, 0x01},   // RS-485
    {ParamField::Protocol, 0x01},      // Wiegand26
    {ParamField::PulseWidth, 0x0A},    // 100 us
    {ParamField::PulsePeriods, 0x0F},  // 1.5 ms
    {ParamField::ExportTime, 0x01},
    {ParamField::ExportDistance, 0x01},  // 100 ms
    {ParamField::IdBorderUponDifferent, 0x00},
    {ParamField::Param132, 0x00},
    {ParamField::CardMode, 0x00},  // single card
    {ParamField::Param137, 0x02},
    {ParamField::LockedFrequency, 0x00},  // hopping
};

}  // namespace

ParameterMemory::ParameterMemory() {
    for (const FactorySetting& s : kFactorySettings) {
        bytes[FieldInfo(s.field).address] = s.value;
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
        const int byte = i + 1 < text.size() ? HexByte(c, text[i + 1]) : -1;
        const bool endsHere = i + 2 >= text.size() || text[i + 2] == ' ' || text[i + 2] == '\t' ||
                              text[i + 2] == '\r' || text[i + 2] == '\n';
        if (byte < 0 || !endsHere) {
            error = "line " + std::to_string(line) + ": expected a byte as two hexadecimal digits";
            return std::nullopt;
        }
        if (count == kSize) {
            error = "line " + std::to_string(line) + ": more than 256 bytes";
            return std::nullopt;
        }
        memory.bytes[static_cast<std::size_t>(count++)] = static_cast<std::uint8_t>(byte);
        i += 2;
    }
    if (count != kSize) {
        error = "holds " + std::to_string(count) + " bytes, 256 expected";
        return std::nullopt;
    }
    return memory;
}

}  // namespace uhf
