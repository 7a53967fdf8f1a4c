#include <gtest/gtest.h>

#include "protocol/BaudRates.h"

namespace uhf {
namespace {

// The index is what the baud-rate frame of the upgrade carries: 0 = 9600 ... 4 = 115200.
TEST(BaudRatesTest, IndexAndRateGoBothWays) {
    const int rates[] = {9600, 19200, 38400, 57600, 115200};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(BaudRateIndex(rates[i]), i);
        EXPECT_EQ(BaudRateAt(i), rates[i]);
    }
    EXPECT_EQ(BaudRateIndex(4800), -1);
    EXPECT_EQ(BaudRateIndex(230400), -1);
    EXPECT_EQ(BaudRateAt(-1), 0);
    EXPECT_EQ(BaudRateAt(5), 0);
}

}  // namespace
}  // namespace uhf
