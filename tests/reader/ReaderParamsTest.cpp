#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "reader/ParamBlocks.h"
#include "reader/ReaderParams.h"

namespace uhf {
namespace {

ReaderParams Valid() {
    return {.param112 = 1, .connectPort = 1, .protocol = 1};
}

struct ValidityCase {
    const char* name;
    std::function<void(ReaderParams&)> change;
    bool expected;
};

class IsValidBounds : public testing::TestWithParam<ValidityCase> {};

TEST_P(IsValidBounds, ChecksOnlyTheFiveBoundedFields) {
    ReaderParams p = Valid();
    GetParam().change(p);
    EXPECT_EQ(p.IsValid(), GetParam().expected) << GetParam().name;
}

using P = ReaderParams&;
INSTANTIATE_TEST_SUITE_P(
    Table, IsValidBounds,
    testing::Values(ValidityCase{"minimal valid record", [](P) {}, true},
                    ValidityCase{"param137 15", [](P p) { p.param137 = 15; }, true},
                    ValidityCase{"param137 16", [](P p) { p.param137 = 16; }, false},
                    ValidityCase{"connectPort 0", [](P p) { p.connectPort = 0; }, false},
                    ValidityCase{"connectPort 3", [](P p) { p.connectPort = 3; }, true},
                    ValidityCase{"connectPort 4", [](P p) { p.connectPort = 4; }, false},
                    ValidityCase{"cardMode 1", [](P p) { p.cardMode = 1; }, true},
                    ValidityCase{"cardMode 2", [](P p) { p.cardMode = 2; }, false},
                    ValidityCase{"param112 0", [](P p) { p.param112 = 0; }, false},
                    ValidityCase{"param112 3", [](P p) { p.param112 = 3; }, true},
                    ValidityCase{"param112 4", [](P p) { p.param112 = 4; }, false},
                    ValidityCase{"protocol 0 on RS-485", [](P p) { p.protocol = 0; }, false},
                    ValidityCase{"protocol 4", [](P p) { p.protocol = 4; }, true},
                    ValidityCase{"protocol 5 on RS-485", [](P p) { p.protocol = 5; }, false},
                    ValidityCase{"unbounded fields at their extremes",
                                 [](P p) {
                                     p.lockedFrequency = 255;
                                     p.exportTime = 0;
                                     p.exportDistance = 11;
                                     p.power = 255;
                                     p.pulseWidth = 255;
                                     p.pulsePeriods = 255;
                                     p.timeDistance = 255;
                                     p.idBorderUponDifferent = 200;
                                     p.param100 = 255;
                                     p.param132 = 255;
                                 },
                                 true},
                    ValidityCase{"lockedFrequency 51, exportTime 4",
                                 [](P p) {
                                     p.lockedFrequency = 51;
                                     p.exportTime = 4;
                                     p.exportDistance = 0;
                                 },
                                 true}));

TEST(ReaderParamsTest, NewRecordIsAllZeroAndInvalid) {
    const ReaderParams p;
    EXPECT_EQ(p.connectPort, 0);
    EXPECT_EQ(p.param137, 0);
    EXPECT_EQ(p.lockedFrequency, 0);
    EXPECT_FALSE(p.IsValid());
}

TEST(ParamBlocksTest, BlocksAreTheSevenRunsInOrder) {
    const std::vector<int> addresses{100, 112, 123, 132, 135, 137, 144};
    const std::vector<int> reads{2, 8, 1, 1, 1, 2, 1};
    const std::vector<int> writes{2, 8, 1, 1, 1, 1, 1};
    for (int i = 0; i < kParamBlockCount; ++i) {
        EXPECT_EQ(kParamBlocks[i].address, addresses[i]);
        EXPECT_EQ(kParamBlocks[i].readLength, reads[i]);
        EXPECT_EQ(kParamBlocks[i].writeLength, writes[i]);
    }
}

// Fills each block with address-valued bytes, so every field shows the address it came from.
ReaderParams FromAddressImage() {
    ReaderParams p;
    for (int i = 0; i < kParamBlockCount; ++i) {
        std::array<std::uint8_t, kParamBlockMaxLength> values{};
        for (int b = 0; b < kParamBlocks[i].readLength; ++b) {
            values[b] = static_cast<std::uint8_t>(kParamBlocks[i].address + b);
        }
        StoreBlock(p, i, values.data());
    }
    return p;
}

TEST(ParamBlocksTest, EachFieldComesFromItsAddress) {
    const ReaderParams p = FromAddressImage();
    EXPECT_EQ(p.param100, 100);
    EXPECT_EQ(p.power, 101);
    EXPECT_EQ(p.param112, 112);
    EXPECT_EQ(p.timeDistance, 113);
    EXPECT_EQ(p.connectPort, 114);
    EXPECT_EQ(p.protocol, 115);
    EXPECT_EQ(p.pulseWidth, 116);
    EXPECT_EQ(p.pulsePeriods, 117);
    EXPECT_EQ(p.exportTime, 118);
    EXPECT_EQ(p.exportDistance, 119);
    EXPECT_EQ(p.idBorderUponDifferent, 123);
    EXPECT_EQ(p.param132, 132);
    EXPECT_EQ(p.cardMode, 135);
    EXPECT_EQ(p.param137, 137) << "138 is read and thrown away";
    EXPECT_EQ(p.lockedFrequency, 144);
}

TEST(ParamBlocksTest, LoadWritesBackExactlyTheBytesStored) {
    const ReaderParams p = FromAddressImage();
    for (int i = 0; i < kParamBlockCount; ++i) {
        std::array<std::uint8_t, kParamBlockMaxLength> values{};
        values.fill(0xEE);
        LoadBlock(p, i, values.data());
        for (int b = 0; b < kParamBlockMaxLength; ++b) {
            if (b < kParamBlocks[i].writeLength) {
                EXPECT_EQ(values[b], kParamBlocks[i].address + b) << "block " << i;
            } else {
                EXPECT_EQ(values[b], 0xEE) << "nothing beyond the written length, block " << i;
            }
        }
    }
}

TEST(ParamBlocksTest, OutOfRangeBlockChangesNothing) {
    ReaderParams p = Valid();
    const std::array<std::uint8_t, 8> values{9, 9, 9, 9, 9, 9, 9, 9};
    StoreBlock(p, 7, values.data());
    StoreBlock(p, -1, values.data());
    StoreBlock(p, 0, nullptr);
    EXPECT_TRUE(p == Valid());
}

}  // namespace
}  // namespace uhf
