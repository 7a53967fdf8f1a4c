#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/NaturalPortOrder.h"

namespace uhf {
namespace {

// Every name comes strictly before every later one, and none before itself.
TEST(NaturalPortOrderTest, OrdersDigitRunsAsNumbersStrictly) {
    const std::vector<std::string> ordered = {"",
                                              "COM",
                                              "COM1",
                                              "COM01",
                                              "COM2",
                                              "COM3",
                                              "COM9",
                                              "COM10",
                                              "COM10a",
                                              "COM10b",
                                              "COM256",
                                              "COM99999999999999999999",
                                              "COM100000000000000000000",
                                              "ttyACM0",
                                              "ttyS",
                                              "ttyS0",
                                              "ttyS2",
                                              "ttyS10",
                                              "ttyUSB0"};
    const NaturalPortOrder before;
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        EXPECT_FALSE(before(ordered[i], ordered[i])) << ordered[i];
        for (std::size_t j = i + 1; j < ordered.size(); ++j) {
            EXPECT_TRUE(before(ordered[i], ordered[j])) << ordered[i] << " before " << ordered[j];
            EXPECT_FALSE(before(ordered[j], ordered[i])) << ordered[j] << " after " << ordered[i];
        }
    }
}

TEST(NaturalPortOrderTest, SortsTheRegistrysArrivalOrder) {
    std::vector<std::string> ports = {"COM10", "COM3", "COM1", "COM12", "COM4"};
    std::sort(ports.begin(), ports.end(), NaturalPortOrder{});
    EXPECT_EQ(ports, (std::vector<std::string>{"COM1", "COM3", "COM4", "COM10", "COM12"}));
}

}  // namespace
}  // namespace uhf
