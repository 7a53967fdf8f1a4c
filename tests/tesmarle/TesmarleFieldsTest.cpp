#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tesmarle/cli/TesmarleFields.h"

namespace uhf {
namespace {

// Every field, in the order ReaderParams declares them and the JSON shows them.
ReaderParams Sample() {
    return {7, 2, 1, 1, 30, 2, 10, 20, 2, 4, 26, 9, 3, 5, 12};
}

TEST(TesmarleFieldsTest, JsonHasTheFifteenFieldNamesInOrder) {
    EXPECT_EQ(FormatParamsJson(Sample()),
              "{\"param100\": 7, \"param112\": 2, \"cardMode\": 1, \"idBorderUponDifferent\": 1, "
              "\"power\": 30, \"connectPort\": 2, \"pulseWidth\": 10, \"pulsePeriods\": 20, "
              "\"exportTime\": 2, \"exportDistance\": 4, \"lockedFrequency\": 26, "
              "\"param132\": 9, \"protocol\": 3, \"timeDistance\": 5, \"param137\": 12}");
}

TEST(TesmarleFieldsTest, TextShowsUnitsMeaningsAndTheFrequency) {
    const std::string text = FormatParamsText(Sample());
    for (const char* expected :
         {"power                  30\n", "cardMode               1 (multi-cards)",
          "connectPort            2 (Wiegand)", "protocol               3 (Wiegand32)",
          "pulseWidth             10 (100 us)", "pulsePeriods           20 (2000 us)",
          "exportDistance         4 (400 ms)", "timeDistance           5 (50 ms)",
          "lockedFrequency        26 (Locked frequency 915.0 MHz)", "param137               12"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    ReaderParams hopping = Sample();
    hopping.lockedFrequency = 0;
    hopping.connectPort = 3;
    const std::string other = FormatParamsText(hopping);
    EXPECT_NE(other.find("0 (Jump frequency: hopping)"), std::string::npos);
    EXPECT_NE(other.find("3 (not a listed choice)"), std::string::npos);
}

TEST(TesmarleFieldsTest, JsonFromReadTakesOnlyTheShownFields) {
    std::vector<ParamChange> changes;
    std::string error;
    ASSERT_TRUE(ParseParamsJson(FormatParamsJson(Sample()) + "\n", changes, error)) << error;
    ASSERT_EQ(changes.size(), 11u);
    ReaderParams target;
    target.param100 = 1;
    target.param112 = 1;
    target.param132 = 1;
    target.param137 = 1;
    for (const ParamChange& c : changes) {
        target[c.field] = static_cast<std::uint8_t>(c.value);
    }
    ReaderParams expected = Sample();
    expected.param100 = expected.param112 = expected.param132 = expected.param137 = 1;
    EXPECT_TRUE(target == expected);
}

// Whatever `read --json` prints of a record that may be written, `write --from` takes back
// unchanged: each shown field at the ends of its range, and values the windows do not list.
TEST(TesmarleFieldsTest, JsonOfAnyWritableRecordIsTakenBackUnchanged) {
    std::vector<ReaderParams> records;
    for (const ParamFieldInfo& info : ParamFields()) {
        for (const std::uint8_t value : {info.low, info.high}) {
            ReaderParams record = Sample();
            record[info.field] = value;
            records.push_back(record);
        }
    }
    ReaderParams unlisted = Sample();
    unlisted.connectPort = 3;
    unlisted.exportTime = 0;
    unlisted.exportDistance = 0;
    unlisted.lockedFrequency = 51;
    unlisted.idBorderUponDifferent = 2;
    records.push_back(unlisted);
    for (const ReaderParams& record : records) {
        ASSERT_TRUE(record.IsValid());
        const std::string json = FormatParamsJson(record);
        std::vector<ParamChange> changes;
        std::string error;
        ASSERT_TRUE(ParseParamsJson(json, changes, error)) << json << "\n" << error;
        ReaderParams written = record;  // the carried fields come from the reader
        for (const ParamFieldInfo& info : ParamFields()) {
            if (info.label != nullptr) {
                written[info.field] = 0;
            }
        }
        for (const ParamChange& c : changes) {
            written[c.field] = static_cast<std::uint8_t>(c.value);
        }
        EXPECT_TRUE(written == record) << json;
    }
}

struct BadJson {
    std::string text;
    std::string mentions;
};

class JsonRefused : public testing::TestWithParam<BadJson> {};

TEST_P(JsonRefused, SaysWhatIsWrong) {
    std::vector<ParamChange> changes{{ParamField::Power, 1}};
    std::string error;
    EXPECT_FALSE(ParseParamsJson(GetParam().text, changes, error));
    EXPECT_NE(error.find(GetParam().mentions), std::string::npos) << error;
    EXPECT_EQ(changes.size(), 1u) << "nothing taken from a refused file";
}

INSTANTIATE_TEST_SUITE_P(
    Files, JsonRefused,
    testing::Values(BadJson{"", "expected '{'"}, BadJson{"[1]", "expected '{'"},
                    BadJson{"{\"power\": 300}", "\"power\" must be a byte value"},
                    BadJson{"{\"power\": -1}", "\"power\" must be a byte value"},
                    BadJson{"{\"power\": 1.5}", "not a whole number"},
                    BadJson{"{\"power\": \"30\"}", "not a whole number"},
                    BadJson{"{\"power\": 30", "expected ',' or '}'"},
                    BadJson{"{\"power\": 30} x", "unexpected text"},
                    BadJson{"{\"power\": 3, \"power\": 4}", "appears twice"},
                    BadJson{"{\"pwr\": 3}", "unknown key \"pwr\""},
                    BadJson{"{\"connectPort\": 4}", "\"connectPort\" must be 1 to 3"},
                    BadJson{"{\"protocol\": 0}", "\"protocol\" must be 1 to 4"},
                    BadJson{"{\"param137\": 999}", "\"param137\" must be a byte value"},
                    BadJson{"{\"power\": 99999999999999}", "not a whole number"}));

struct FrequencyCase {
    std::string text;
    int channel;  // -1: refused
};

class FrequencyParsing : public testing::TestWithParam<FrequencyCase> {};

TEST_P(FrequencyParsing, PicksTheChannel) {
    const auto channel = ParseFrequency(GetParam().text);
    if (GetParam().channel < 0) {
        EXPECT_FALSE(channel.has_value()) << GetParam().text;
    } else {
        ASSERT_TRUE(channel.has_value()) << GetParam().text;
        EXPECT_EQ(*channel, GetParam().channel);
    }
}

INSTANTIATE_TEST_SUITE_P(Channels, FrequencyParsing,
                         testing::Values(FrequencyCase{"hop", 0}, FrequencyCase{"902.5", 1},
                                         FrequencyCase{"903", 2}, FrequencyCase{"926.5", 49},
                                         FrequencyCase{"927.0", 50}, FrequencyCase{"927.5", -1},
                                         FrequencyCase{"902", -1}, FrequencyCase{"910.3", -1},
                                         FrequencyCase{"910.", -1}, FrequencyCase{".5", -1},
                                         FrequencyCase{"9150", -1}, FrequencyCase{"", -1},
                                         FrequencyCase{"915.0 ", -1}, FrequencyCase{"HOP", -1}));

TEST(TesmarleFieldsTest, ChannelFrequencies) {
    EXPECT_DOUBLE_EQ(ChannelMHz(1), 902.5);
    EXPECT_DOUBLE_EQ(ChannelMHz(50), 927.0);
    for (int n = 1; n <= 50; ++n) {
        char text[16];
        std::snprintf(text, sizeof(text), "%3.1f", ChannelMHz(n));
        EXPECT_EQ(ParseFrequency(text), n) << text;
    }
}

}  // namespace
}  // namespace uhf
