#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/ParamFields.h"

namespace uhf {
namespace {

TEST(ParamFieldsTest, EachFieldSitsAtItsAddressOfTheParameterMemory) {
    std::vector<int> addresses;
    for (const ParamFieldInfo& info : ParamFields()) {
        addresses.push_back(info.address);
        EXPECT_EQ(FindParamField(info.name), &info);
        EXPECT_EQ(FieldAtAddress(info.address), &info);
    }
    EXPECT_EQ(addresses, (std::vector<int>{100, 112, 135, 123, 101, 114, 116, 117, 118, 119, 144,
                                           132, 115, 113, 137}));
    EXPECT_EQ(FieldAtAddress(138), nullptr) << "read with 137, no field";
    EXPECT_EQ(FindParamField("Power"), nullptr);
}

TEST(ParamFieldsTest, ChoicesAreListedInTheReadersOrder) {
    auto texts = [](ParamField field) {
        std::vector<std::string> out;
        for (const ParamChoice& choice : FieldInfo(field).choices) {
            out.push_back(std::to_string(choice.value) + "=" + choice.text);
        }
        return out;
    };
    EXPECT_EQ(
        texts(ParamField::Protocol),
        (std::vector<std::string>{"1=Wiegand26", "2=Wiegand34", "3=Wiegand32", "4=Wiegand40"}));
    EXPECT_EQ(texts(ParamField::ConnectPort), (std::vector<std::string>{"1=RS-485", "2=Wiegand"}));
    EXPECT_EQ(texts(ParamField::CardMode),
              (std::vector<std::string>{"0=Single-card", "1=multi-cards"}));
    EXPECT_EQ(texts(ParamField::ExportDistance).back(), "10=1000ms");
}

TEST(ParamFieldsTest, LockedChannelsRunFrom902Point5To927MHzInHalfSteps) {
    EXPECT_EQ(ChannelText(1), "902.5 MHz");
    EXPECT_EQ(ChannelText(2), "903.0 MHz");
    EXPECT_EQ(ChannelText(50), "927.0 MHz");
    EXPECT_EQ(ChannelAtTenthsMHz(9025), 1);
    EXPECT_EQ(ChannelAtTenthsMHz(9150), 26);
    EXPECT_EQ(ChannelAtTenthsMHz(9270), 50);
    EXPECT_FALSE(ChannelAtTenthsMHz(9020).has_value());
    EXPECT_FALSE(ChannelAtTenthsMHz(9027).has_value());
    EXPECT_FALSE(ChannelAtTenthsMHz(9275).has_value());
}

}  // namespace
}  // namespace uhf
