#include "tesmarle/TagRowStore.h"

#include <cstring>

namespace uhf {

void TagRowStore::Append(const std::uint8_t* records, int count) {
    for (int i = 0; i < count; ++i) {
        const std::size_t slot = size_ % kRowsPerBlock;
        if (slot == 0 && size_ / kRowsPerBlock == blocks_.size()) {
            blocks_.push_back(std::make_unique<Block>());
        }
        std::memcpy(blocks_[size_ / kRowsPerBlock]->data() + slot * kRecordSize,
                    records + static_cast<std::size_t>(i) * kRecordSize, kRecordSize);
        ++size_;
    }
}

void TagRowStore::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    size_ = 0;
}

const std::uint8_t* TagRowStore::Record(std::size_t row) const {
    return blocks_[row / kRowsPerBlock]->data() + (row % kRowsPerBlock) * kRecordSize;
}

std::size_t TagRowStore::MemoryBytes() const {
    return blocks_.size() * sizeof(Block) + blocks_.capacity() * sizeof(blocks_[0]);
}

}  // namespace uhf
