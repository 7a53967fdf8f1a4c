#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>

#include "fakes/SimTestSupport.h"
#include "sim/ParameterMemory.h"
#include "sim/RequestParser.h"
#include "sim/TagPopulation.h"

namespace uhf {
namespace {

using namespace test;
using ::testing::ElementsAreArray;
using Kind = ReceivedRequest::Kind;

TEST(RequestParserTest, FrameSplitAcrossFeedsComesOutWhole) {
    RequestParser parser(100ms);
    const Bytes frame{0xA0, 0x05, 0x63, 0x02, 0x00, 0x64, 0x92};
    parser.Feed(frame.data(), 3, SimTime{0});
    EXPECT_FALSE(parser.Next(SimTime{0}).has_value());
    parser.Feed(frame.data() + 3, 4, SimTime{1000});
    const std::optional<ReceivedRequest> request = parser.Next(SimTime{1000});
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->kind, Kind::Frame);
    EXPECT_EQ(request->command, 0x63);
    EXPECT_THAT(request->data, ElementsAreArray(Bytes{0x02, 0x00, 0x64}));
    EXPECT_EQ(parser.Pending(), 0u);
}

TEST(RequestParserTest, BadChecksumIsReportedAndAFrameInsideItIsStillFound) {
    RequestParser parser(100ms);
    // A0 04 looks like a 6-byte frame; its checksum fails, and the Stop frame starting at
    // its third byte must not be lost with it.
    const Bytes bytes{0xA0, 0x04, 0xA0, 0x02, 0xFE, 0x60};
    parser.Feed(bytes.data(), bytes.size(), SimTime{0});
    std::optional<ReceivedRequest> first = parser.Next(SimTime{0});
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->kind, Kind::BadChecksum);
    std::optional<ReceivedRequest> second = parser.Next(SimTime{0});
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->kind, Kind::Frame);
    EXPECT_EQ(second->command, 0xFE);
    EXPECT_EQ(parser.TakeSkipped(), 1u);  // the 04 after the rejected header
}

TEST(RequestParserTest, AlternateProbeIsRecognisedAndANearMissIsNoise) {
    RequestParser parser(100ms);
    const Bytes bytes{0x52, 0x46, 0x01, 0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74};
    parser.Feed(bytes.data(), bytes.size(), SimTime{0});
    const std::optional<ReceivedRequest> request = parser.Next(SimTime{0});
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->kind, Kind::AltProbe);
    EXPECT_EQ(parser.TakeSkipped(), 3u);
}

TEST(RequestParserTest, PartialFrameWaitsUntilTheGapHasPassed) {
    RequestParser parser(50ms);
    const Bytes bytes{0x11, 0xA0, 0x40, 0x67};
    parser.Feed(bytes.data(), bytes.size(), SimTime{0});
    EXPECT_FALSE(parser.Next(50ms).has_value());
    EXPECT_EQ(parser.Pending(), 3u);
    EXPECT_EQ(parser.PartialExpiresAt(), std::optional<SimTime>(50ms + SimTime{1}));
    EXPECT_FALSE(parser.Next(51ms).has_value());
    EXPECT_EQ(parser.Pending(), 0u);
    EXPECT_FALSE(parser.PartialExpiresAt().has_value());
}

TEST(RequestParserTest, EndlessNoiseKeepsTheBufferBounded) {
    RequestParser parser(100ms);
    const Bytes noise(5000, 0xA0);  // every byte a header announcing 160 more
    parser.Feed(noise.data(), noise.size(), SimTime{0});
    EXPECT_LE(parser.Pending(), RequestParser::kCapacity);
}

TEST(ParameterMemoryTest, FactorySettingsPassTheToolsValidation) {
    const ParameterMemory memory;
    EXPECT_EQ(memory.At(114), 1);  // RS-485
    EXPECT_EQ(memory.At(115), 1);  // Wiegand26
    EXPECT_EQ(memory.At(135), 0);  // single card
    EXPECT_EQ(memory.At(144), 0);  // hopping
    EXPECT_GE(memory.At(112), 1);
    EXPECT_LE(memory.At(112), 3);
    EXPECT_LE(memory.At(137), 15);
    EXPECT_GE(memory.At(118), 1);
    EXPECT_LE(memory.At(118), 3);
    EXPECT_GE(memory.At(119), 1);
    EXPECT_LE(memory.At(119), 10);
}

TEST(ParameterMemoryTest, RunsLeavingTheMemoryAreRefusedWithoutAnyChange) {
    ParameterMemory memory;
    const ParameterMemory before = memory;
    const std::uint8_t values[2] = {1, 2};
    EXPECT_FALSE(memory.Write(255, values, 2));
    EXPECT_FALSE(memory.Write(-1, values, 1));
    EXPECT_EQ(memory, before);
    std::uint8_t out[2] = {9, 9};
    EXPECT_FALSE(memory.Read(255, 2, out));
    EXPECT_EQ(out[0], 9);
    EXPECT_TRUE(memory.Write(254, values, 2));
    EXPECT_EQ(memory.At(255), 2);
}

TEST(ParameterMemoryTest, TextFormRoundTrips) {
    ParameterMemory memory;
    const std::uint8_t power = 0xC8;
    memory.Write(101, &power, 1);
    std::string error;
    const std::optional<ParameterMemory> back = ParameterMemory::Parse(memory.Serialize(), error);
    ASSERT_TRUE(back.has_value()) << error;
    EXPECT_EQ(*back, memory);
}

struct BadStateCase {
    const char* name;
    std::string text;
};

class BadStateTest : public ::testing::TestWithParam<BadStateCase> {};

TEST_P(BadStateTest, MalformedTextIsRefusedWithAReason) {
    std::string error;
    EXPECT_FALSE(ParameterMemory::Parse(GetParam().text, error).has_value());
    EXPECT_FALSE(error.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, BadStateTest,
    ::testing::Values(BadStateCase{"Empty", ""}, BadStateCase{"TooShort", "00 01 02\n"},
                      BadStateCase{"NotHex", ParameterMemory().Serialize().replace(0, 2, "ZZ")},
                      BadStateCase{"ThreeDigits",
                                   ParameterMemory().Serialize().replace(0, 2, "123")},
                      BadStateCase{"TooLong", ParameterMemory().Serialize() + "00\n"}),
    [](const ::testing::TestParamInfo<BadStateCase>& info) { return info.param.name; });

TEST(TagPopulationTest, ListOfIdentifiersIsParsedInOrder) {
    std::string error;
    const auto ids = TagPopulation::ParseList("0102030405060708,a1b2c3d4e5f60718", error);
    ASSERT_TRUE(ids.has_value()) << error;
    ASSERT_EQ(ids->size(), 2u);
    EXPECT_EQ((*ids)[0], (TagId{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ((*ids)[1], (TagId{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0x07, 0x18}));
}

TEST(TagPopulationTest, MalformedListIsRefused) {
    std::string error;
    EXPECT_FALSE(TagPopulation::ParseList("01020304050607", error).has_value());
    EXPECT_FALSE(TagPopulation::ParseList("0102030405060708,", error).has_value());
    EXPECT_FALSE(TagPopulation::ParseList("010203040506070G", error).has_value());
    EXPECT_FALSE(TagPopulation::ParseList("", error).has_value());
}

TEST(TagPopulationTest, GeneratedIdentifiersAreDistinct) {
    const std::vector<TagId> ids = TagPopulation::Generate(300);
    std::set<TagId> unique(ids.begin(), ids.end());
    EXPECT_EQ(unique.size(), 300u);
}

TEST(TagPopulationTest, ReportsVisitEveryTagAndRepeatTheFirst) {
    const TagPopulation population(TagPopulation::Generate(3));
    std::vector<TagId> reports;
    for (int i = 0; i < 9; ++i) {
        reports.push_back(population.Report(i));
    }
    const auto& ids = population.Ids();
    EXPECT_THAT(reports, ElementsAreArray({ids[0], ids[1], ids[0], ids[2], ids[0], ids[0], ids[1],
                                           ids[2], ids[0]}));
}

}  // namespace
}  // namespace uhf
