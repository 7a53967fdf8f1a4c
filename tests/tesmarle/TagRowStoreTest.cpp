#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "tesmarle/TagRowStore.h"

namespace uhf {
namespace {

TEST(TagRowStoreTest, KeepsEveryRecordAcrossBlocksAndForgetsThemOnClear) {
    TagRowStore store;
    const std::size_t rows = TagRowStore::kRowsPerBlock * 2 + 3;
    for (std::size_t row = 0; row < rows; ++row) {
        const std::array<std::uint8_t, 8> record{static_cast<std::uint8_t>(row),
                                                 static_cast<std::uint8_t>(row >> 8),
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0,
                                                 0xEE};
        store.Append(record.data(), 1);
    }
    ASSERT_EQ(store.Size(), rows);
    for (const std::size_t row :
         {std::size_t{0}, TagRowStore::kRowsPerBlock - 1, TagRowStore::kRowsPerBlock, rows - 1}) {
        EXPECT_EQ(store.Record(row)[0], static_cast<std::uint8_t>(row)) << row;
        EXPECT_EQ(store.Record(row)[1], static_cast<std::uint8_t>(row >> 8)) << row;
        EXPECT_EQ(store.Record(row)[7], 0xEE) << row;
    }
    EXPECT_LE(store.MemoryBytes(), 3 * TagRowStore::kRowsPerBlock * 8 + 64);

    store.Clear();
    EXPECT_EQ(store.Size(), 0U);
    EXPECT_EQ(store.MemoryBytes(), 0U);
    const std::array<std::uint8_t, 16> two{1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2};
    store.Append(two.data(), 2);
    ASSERT_EQ(store.Size(), 2U);
    EXPECT_EQ(store.Record(1)[0], 2);
}

}  // namespace
}  // namespace uhf
