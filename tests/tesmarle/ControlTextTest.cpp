#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tesmarle/ControlText.h"

namespace uhf {
namespace {

TEST(FrequencyItemsTest, ListsFiftyChannelsFromNineHundredTwoPointFive) {
    const std::vector<std::string> items = FrequencyItems();
    ASSERT_EQ(items.size(), 50U);
    EXPECT_EQ(items.front(), "902.5 MHz");
    EXPECT_EQ(items[1], "903.0 MHz");
    EXPECT_EQ(items[19], "912.0 MHz");
    EXPECT_EQ(items.back(), "927.0 MHz");
}

TEST(TagTextTest, FormatsEachByteAsTwoUpperCaseDigitsAndASpace) {
    const std::array<std::uint8_t, 8> a{0x01, 0x02, 0x03, 0x04, 0x0A, 0x0B, 0x0C, 0x0D};
    EXPECT_EQ(TagText(a.data()), "01 02 03 04 0A 0B 0C 0D ");
    const std::array<std::uint8_t, 8> b{0x30, 0, 0, 0, 0, 0, 0, 0xFF};
    EXPECT_EQ(TagText(b.data()), "30 00 00 00 00 00 00 FF ");
    EXPECT_EQ(TagText(b.data()).size(), 24U);
}

TEST(ItemIndexForValueTest, MapsStoredChoicesToItemsAndOthersToNoSelection) {
    EXPECT_EQ(ItemIndexForValue(1, 2), 0);
    EXPECT_EQ(ItemIndexForValue(2, 2), 1);
    EXPECT_EQ(ItemIndexForValue(3, 2), -1);
    EXPECT_EQ(ItemIndexForValue(0, 4), -1);
    EXPECT_EQ(ItemIndexForValue(50, 50), 49);
    EXPECT_EQ(ItemIndexForValue(255, 50), -1);
}

}  // namespace
}  // namespace uhf
