#pragma once

#include <array>
#include <cstdint>

#include "reader/ReaderParams.h"

namespace uhf {

// One run of the reader's parameter memory that the tool moves in a single exchange.
struct ParamBlock {
    std::uint8_t address;
    std::uint8_t readLength;
    std::uint8_t writeLength;  // the block at 137 is read with its neighbour 138, written alone
};

inline constexpr int kParamBlockCount = 7;
inline constexpr int kParamBlockMaxLength = 8;

// Always moved in this order.
inline constexpr std::array<ParamBlock, kParamBlockCount> kParamBlocks{{
    {100, 2, 2},
    {112, 8, 8},
    {123, 1, 1},
    {132, 1, 1},
    {135, 1, 1},
    {137, 2, 1},
    {144, 1, 1},
}};

// Copies the readLength values of block `index`, in address order, into the record's fields.
void StoreBlock(ReaderParams& params, int index, const std::uint8_t* values);

// The blocks (bit 1 << index) whose written values differ between `a` and `b`.
unsigned DifferingBlocks(const ReaderParams& a, const ReaderParams& b);

// Writes the writeLength values of block `index`, in address order, from the record's fields.
void LoadBlock(const ReaderParams& params, int index, std::uint8_t* values);

}  // namespace uhf
