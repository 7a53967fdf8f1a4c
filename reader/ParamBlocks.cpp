#include "reader/ParamBlocks.h"

namespace uhf {

namespace {

// The field behind each byte of a block, in address order; null for a byte that is thrown away.
using Field = std::uint8_t ReaderParams::*;

constexpr std::array<std::array<Field, kParamBlockMaxLength>, kParamBlockCount> kBlockFields{{
    {&ReaderParams::param100, &ReaderParams::power},
    {&ReaderParams::param112, &ReaderParams::timeDistance, &ReaderParams::connectPort,
     &ReaderParams::protocol, &ReaderParams::pulseWidth, &ReaderParams::pulsePeriods,
     &ReaderParams::exportTime, &ReaderParams::exportDistance},
    {&ReaderParams::idBorderUponDifferent},
    {&ReaderParams::param132},
    {&ReaderParams::cardMode},
    {&ReaderParams::param137, nullptr},  // 138 is read and never used
    {&ReaderParams::lockedFrequency},
}};

}  // namespace

void StoreBlock(ReaderParams& params, int index, const std::uint8_t* values) {
    if (index < 0 || index >= kParamBlockCount || values == nullptr) {
        return;
    }
    const auto& fields = kBlockFields[static_cast<std::size_t>(index)];
    const int count = kParamBlocks[static_cast<std::size_t>(index)].readLength;
    for (int i = 0; i < count; ++i) {
        if (const Field field = fields[static_cast<std::size_t>(i)]; field != nullptr) {
            params.*field = values[i];
        }
    }
}

void LoadBlock(const ReaderParams& params, int index, std::uint8_t* values) {
    if (index < 0 || index >= kParamBlockCount || values == nullptr) {
        return;
    }
    const auto& fields = kBlockFields[static_cast<std::size_t>(index)];
    const int count = kParamBlocks[static_cast<std::size_t>(index)].writeLength;
    for (int i = 0; i < count; ++i) {
        const Field field = fields[static_cast<std::size_t>(i)];
        values[i] = field != nullptr ? params.*field : 0;
    }
}

}  // namespace uhf
