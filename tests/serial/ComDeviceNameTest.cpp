#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "serial/ComDeviceName.h"
#include "serial/SerialError.h"

namespace uhf {
namespace {

struct NameCase {
    std::string port;
    std::optional<std::string> device;
};

class ComDeviceNameRule : public testing::TestWithParam<NameCase> {};

TEST_P(ComDeviceNameRule, MapsThePortNameByItsLength) {
    EXPECT_EQ(ComDeviceName(GetParam().port), GetParam().device);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ComDeviceNameRule,
    testing::Values(NameCase{"COM1", "COM1"}, NameCase{"COM9", "COM9"},
                    NameCase{"COM10", "\\\\.\\COM10"}, NameCase{"COM100", "\\\\.\\COM100"},
                    NameCase{"COM", std::nullopt}, NameCase{"COM1000", std::nullopt},
                    NameCase{"", std::nullopt}, NameCase{"/dev/ttyUSB0", std::nullopt}));

TEST(SerialErrorTest, PermissionTextNamesTheGroupFix) {
    EXPECT_NE(ToString(SerialError::PermissionDenied).find("group that owns the device"),
              std::string::npos);
    EXPECT_NE(ToString(SerialError::NoSuchDevice).find("no such device"), std::string::npos);
    EXPECT_NE(ToString(SerialError::Busy).find("busy"), std::string::npos);
}

}  // namespace
}  // namespace uhf
