#include "reader/ParamBlocks.h"

namespace uhf {

void StoreBlock(ReaderParams& params, int index, const std::uint8_t* values) {
    if (index < 0 || index >= kParamBlockCount || values == nullptr) {
        return;
    }
    const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(index)];
    for (int i = 0; i < block.readLength; ++i) {
        // A byte that is no field (138) is read and thrown away.
        if (const ParamFieldInfo* info = FieldAtAddress(block.address + i); info != nullptr) {
            params[info->field] = values[i];
        }
    }
}

void LoadBlock(const ReaderParams& params, int index, std::uint8_t* values) {
    if (index < 0 || index >= kParamBlockCount || values == nullptr) {
        return;
    }
    const ParamBlock& block = kParamBlocks[static_cast<std::size_t>(index)];
    for (int i = 0; i < block.writeLength; ++i) {
        const ParamFieldInfo* info = FieldAtAddress(block.address + i);
        values[i] = info != nullptr ? params[info->field] : 0;
    }
}

unsigned DifferingBlocks(const ReaderParams& a, const ReaderParams& b) {
    unsigned blocks = 0;
    for (int i = 0; i < kParamBlockCount; ++i) {
        std::array<std::uint8_t, kParamBlockMaxLength> first{};
        std::array<std::uint8_t, kParamBlockMaxLength> second{};
        LoadBlock(a, i, first.data());
        LoadBlock(b, i, second.data());
        if (first != second) {
            blocks |= 1u << i;
        }
    }
    return blocks;
}

}  // namespace uhf
