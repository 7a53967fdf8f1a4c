#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "protocol/ParamFields.h"
#include "tesmarle/cli/TesmarleOptions.h"

namespace uhf {
namespace {

using Args = std::vector<std::string>;

struct ChangeCase {
    Args args;
    std::string field;
    int value;
};

class FieldOptionAccepted : public testing::TestWithParam<ChangeCase> {};

TEST_P(FieldOptionAccepted, BecomesTheFieldsByte) {
    Args args{"-p", "/dev/ttyUSB0", "write"};
    args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
    TesmarleOptions options;
    std::string error;
    ASSERT_TRUE(ParseTesmarleArgs(args, options, error)) << error;
    ASSERT_EQ(options.changes.size(), 1u);
    const ParamFieldInfo* field = FindParamField(GetParam().field);
    ASSERT_NE(field, nullptr) << GetParam().field;
    EXPECT_EQ(options.changes[0].field, field->field);
    EXPECT_EQ(options.changes[0].value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Options, FieldOptionAccepted,
    testing::Values(ChangeCase{{"--power", "0"}, "power", 0},
                    ChangeCase{{"--power=255"}, "power", 255},
                    ChangeCase{{"--card-mode", "single"}, "cardMode", 0},
                    ChangeCase{{"--card-mode", "multi"}, "cardMode", 1},
                    ChangeCase{{"--time-distance", "17"}, "timeDistance", 17},
                    ChangeCase{{"--id-border", "on"}, "idBorderUponDifferent", 1},
                    ChangeCase{{"--id-border", "off"}, "idBorderUponDifferent", 0},
                    ChangeCase{{"--connect-port", "rs485"}, "connectPort", 1},
                    ChangeCase{{"--connect-port", "wiegand"}, "connectPort", 2},
                    ChangeCase{{"--protocol", "wiegand26"}, "protocol", 1},
                    ChangeCase{{"--protocol", "wiegand34"}, "protocol", 2},
                    ChangeCase{{"--protocol", "wiegand32"}, "protocol", 3},
                    ChangeCase{{"--protocol", "wiegand40"}, "protocol", 4},
                    ChangeCase{{"--export-time", "3"}, "exportTime", 3},
                    ChangeCase{{"--export-distance", "100"}, "exportDistance", 1},
                    ChangeCase{{"--export-distance", "1000"}, "exportDistance", 10},
                    ChangeCase{{"--pulse-width", "200"}, "pulseWidth", 200},
                    ChangeCase{{"--pulse-periods", "1"}, "pulsePeriods", 1},
                    ChangeCase{{"--frequency", "hop"}, "lockedFrequency", 0},
                    ChangeCase{{"--frequency", "902.5"}, "lockedFrequency", 1},
                    ChangeCase{{"--frequency", "915.0"}, "lockedFrequency", 26},
                    ChangeCase{{"--frequency", "915"}, "lockedFrequency", 26},
                    ChangeCase{{"--frequency", "927.00"}, "lockedFrequency", 50}));

struct RefusalCase {
    Args args;
    std::string mentions;
};

class UsageRefused : public testing::TestWithParam<RefusalCase> {};

TEST_P(UsageRefused, NamesTheOptionAndWhatItAccepts) {
    TesmarleOptions options;
    std::string error;
    EXPECT_FALSE(ParseTesmarleArgs(GetParam().args, options, error));
    EXPECT_NE(error.find(GetParam().mentions), std::string::npos) << error;
}

const Args W{"-p", "/dev/ttyUSB0", "write"};
Args With(Args base, std::initializer_list<std::string> more) {
    base.insert(base.end(), more);
    return base;
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, UsageRefused,
    testing::Values(
        RefusalCase{With(W, {"--power", "256"}), "--power: expected a number from 0 to 255"},
        RefusalCase{With(W, {"--power", "-1"}), "--power"},
        RefusalCase{With(W, {"--power", "1e2"}), "--power"},
        RefusalCase{With(W, {"--power"}), "--power needs a value"},
        RefusalCase{With(W, {"--card-mode", "double"}), "single or multi"},
        RefusalCase{With(W, {"--id-border", "yes"}), "on or off"},
        RefusalCase{With(W, {"--connect-port", "rs232"}), "rs485 or wiegand"},
        RefusalCase{With(W, {"--protocol", "wiegand27"}), "wiegand26, wiegand34"},
        RefusalCase{With(W, {"--export-time", "4"}), "--export-time: expected 1, 2 or 3"},
        RefusalCase{With(W, {"--export-distance", "150"}), "100, 200, ... or 1000"},
        RefusalCase{With(W, {"--export-distance", "0"}), "--export-distance"},
        RefusalCase{With(W, {"--frequency", "902.0"}), "--frequency"},
        RefusalCase{With(W, {"--frequency", "902.7"}), "902.5 to 927.0"},
        RefusalCase{With(W, {"--frequency", "927.5"}), "--frequency"},
        RefusalCase{With(W, {"--frequency", "915.05"}), "--frequency"},
        RefusalCase{W, "write needs at least one field option"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "-b", "4800", "read"}, "9600, 19200, 38400"},
        RefusalCase{{"read"}, "no port given"}, RefusalCase{{"-p", "/dev/ttyUSB0"}, "no command"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "erase"}, "unknown command 'erase'"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "read", "--csv"}, "--csv belongs to the tags"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "resume", "--json"}, "--json belongs"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "tags", "--json", "--csv"}, "exclude each other"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "tags", "--seconds", "0"}, "--seconds"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "tags", "--seconds", "abc"}, "--seconds"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "read", "--power", "3"}, "belong to the write"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "read", "--loud"}, "unknown option --loud"},
        RefusalCase{{"-p", "a", "-p", "b", "check", "--from", "f", "--trace", "t"},
                    "--trace takes one port"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "read", "extra"}, "unexpected argument 'extra'"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "-b", "automatic", "read"}, "or auto"},
        RefusalCase{{"-b", "auto", "doctor"}, "doctor tries every rate"},
        RefusalCase{{"doctor", "--csv"}, "--csv belongs to the tags"},
        RefusalCase{{"-p", "/dev/ttyUSB0", "read", "--stats"}, "--stats belongs to the tags"},
        RefusalCase{{"-p", "a", "-p", "b", "read"}, "several ports (-p) belong to the write"},
        RefusalCase{{"-p", "a", "check"}, "check needs --from FILE"},
        RefusalCase{{"-p", "a", "-p", "b", "check", "--from", "-"}, "with several ports"},
        RefusalCase{{"-p", "a", "check", "--from", "g", "--power", "1"}, "check needs --from"},
        RefusalCase{{"diff", "a.json"}, "diff needs two files"},
        RefusalCase{{"diff", "a", "b", "c"}, "unexpected argument 'c'"},
        RefusalCase{{"-p", "a", "diff", "x", "y"}, "opens no port"},
        RefusalCase{{"-p", "a", "read", "--no-verify"}, "--no-verify belongs to the write"},
        RefusalCase{{"-p", "a", "check", "--from", "g", "--only-differences"}, "belongs to"},
        RefusalCase{{"ports", "--report", "r.jsonl"}, "--report belongs"},
        RefusalCase{{"-p", "a", "read", "--loader"}, "--loader belongs to the doctor"},
        RefusalCase{{"-p", "a", "read", "--report="}, "--report: expected"}));

TEST(TesmarleOptionsTest, CommonFormsParse) {
    TesmarleOptions options;
    std::string error;
    ASSERT_TRUE(ParseTesmarleArgs({"-p", "/dev/ttyUSB0", "read"}, options, error));
    EXPECT_EQ(options.action, TesmarleAction::Read);
    EXPECT_EQ(options.baudRate, 9600);
    EXPECT_EQ(options.format, TesmarleFormat::Text);

    ASSERT_TRUE(ParseTesmarleArgs(
        {"--port=/dev/ttyACM0", "-b", "115200", "tags", "--seconds", "2.5", "--csv", "--stats"},
        options, error));
    EXPECT_TRUE(options.stats);
    EXPECT_EQ(options.port, "/dev/ttyACM0");
    EXPECT_EQ(options.baudRate, 115200);
    EXPECT_EQ(options.action, TesmarleAction::Tags);
    EXPECT_DOUBLE_EQ(*options.seconds, 2.5);
    EXPECT_EQ(options.format, TesmarleFormat::Csv);

    ASSERT_TRUE(ParseTesmarleArgs({"-p", "x", "write", "--from", "a.json", "--power", "9"}, options,
                                  error));
    EXPECT_EQ(options.fromFile, "a.json");
    ASSERT_EQ(options.changes.size(), 1u);

    ASSERT_TRUE(ParseTesmarleArgs({"-p", "a", "write", "--power", "9", "-p", "b", "--no-verify",
                                   "--only-differences", "--report", "r.jsonl"},
                                  options, error))
        << error;
    EXPECT_EQ(options.ports, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(options.port, "a");
    EXPECT_FALSE(options.verify);
    EXPECT_TRUE(options.onlyDifferences);
    EXPECT_EQ(options.reportFile, "r.jsonl");
    ASSERT_TRUE(ParseTesmarleArgs({"diff", "a.json", "b.json"}, options, error)) << error;
    EXPECT_EQ(options.files, (std::vector<std::string>{"a.json", "b.json"}));

    ASSERT_TRUE(ParseTesmarleArgs({"--help"}, options, error));
    EXPECT_EQ(options.action, TesmarleAction::Help);
    ASSERT_TRUE(ParseTesmarleArgs({"ports"}, options, error));
    EXPECT_EQ(options.action, TesmarleAction::Ports);

    ASSERT_TRUE(ParseTesmarleArgs({"-p", "/dev/ttyUSB0", "-b", "auto", "read"}, options, error));
    EXPECT_EQ(options.baudRate, kAutoBaud);
    ASSERT_TRUE(ParseTesmarleArgs({"doctor", "--json"}, options, error)) << error;
    EXPECT_EQ(options.action, TesmarleAction::Doctor);
    EXPECT_TRUE(options.port.empty());
    EXPECT_EQ(options.format, TesmarleFormat::Json);
    EXPECT_FALSE(options.loaderProbe);
    ASSERT_TRUE(ParseTesmarleArgs({"doctor", "--loader", "--report", "d.jsonl"}, options, error))
        << error;
    EXPECT_TRUE(options.loaderProbe);
    EXPECT_EQ(options.reportFile, "d.jsonl");
}

}  // namespace
}  // namespace uhf
