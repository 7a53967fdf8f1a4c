#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace uhf {

// The tag list's rows as the 8 identifier bytes each, nothing more: the row number and the text
// are computed when shown. Kept in fixed blocks so that growing never copies what is stored.
class TagRowStore {
  public:
    static constexpr int kRecordSize = 8;
    static constexpr std::size_t kRowsPerBlock = 8192;

    void Append(const std::uint8_t* records, int count);
    void Clear();
    std::size_t Size() const { return size_; }
    // The 8 bytes of row `row` (less than Size()).
    const std::uint8_t* Record(std::size_t row) const;
    // Heap bytes held for the rows.
    std::size_t MemoryBytes() const;

  private:
    using Block = std::array<std::uint8_t, kRowsPerBlock * kRecordSize>;
    std::vector<std::unique_ptr<Block>> blocks_;
    std::size_t size_ = 0;
};

}  // namespace uhf
