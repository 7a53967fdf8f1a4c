#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "common/DecimalText.h"

namespace uhf {
namespace {

struct DecimalCase {
    std::string text;
    int value;
};

class DecimalTextTest : public ::testing::TestWithParam<DecimalCase> {};

TEST_P(DecimalTextTest, ReadsADecimalPrefix) {
    EXPECT_EQ(DecimalText::Read(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DecimalTextTest,
    ::testing::Values(DecimalCase{"0", 0}, DecimalCase{"4", 4}, DecimalCase{"3x", 3},
                      DecimalCase{"x", 0}, DecimalCase{"", 0}, DecimalCase{"  12", 12},
                      DecimalCase{"\t7", 7}, DecimalCase{"+5", 5}, DecimalCase{"-2", -2},
                      DecimalCase{"- 5", 0}, DecimalCase{"0x10", 0}, DecimalCase{"007", 7},
                      DecimalCase{"12 34", 12}, DecimalCase{"2147483647", INT_MAX},
                      DecimalCase{"99999999999999999999", INT_MAX},
                      DecimalCase{"-2147483648", INT_MIN}, DecimalCase{"2147483648", INT_MAX},
                      DecimalCase{"-2147483649", INT_MIN}, DecimalCase{"\n\r\v\f9", 9},
                      DecimalCase{"-99999999999999999999", INT_MIN}));

}  // namespace
}  // namespace uhf
