#include "toolsupport/ArgumentReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace uhf {
namespace {

// A tool with a valued option, a flag and a help that ends the reading; every call is recorded.
struct Recorded {
    std::vector<std::string> seen;  // "name=value" per option, "@operand" per operand
    std::string error;
    bool ok = false;
};

Recorded ReadWith(const ArgumentReader& reader, const std::vector<std::string>& args,
                  bool operands = true) {
    Recorded r;
    const auto note = [&r](const std::string& name, const std::string& value, std::string&) {
        r.seen.push_back(name + "=" + value);
        return true;
    };
    const std::vector<ArgumentReader::Option> table{
        {{"-p", "--port"}, true, note},
        {{"--json"}, false, note},
        {{"-h", "--help"}, false, note, true},
        {{"--odd"},
         true,
         [](const std::string& name, const std::string& value, std::string& why) {
             why = name + " refuses '" + value + "'";
             return false;
         }},
    };
    const ArgumentReader::Operand operand = [&r](const std::string& word, std::string&) {
        r.seen.push_back("@" + word);
        return true;
    };
    r.ok = reader.Read(args, table, operands ? operand : nullptr, r.error);
    return r;
}

struct Case {
    const char* name;
    ArgumentReader reader;
    std::vector<std::string> args;
    bool operands;
    std::vector<std::string> seen;
    std::string error;  // empty: accepted
};

ArgumentReader Inline() {
    return ArgumentReader().AcceptInlineValues();
}
ArgumentReader EndOfOptions() {
    return ArgumentReader().AcceptEndOfOptions();
}
ArgumentReader Quoted() {
    return ArgumentReader().WordUnknownOption(
        [](const std::string& name) { return "unknown option '" + name + "'"; });
}

class ArgumentReaderTable : public testing::TestWithParam<Case> {};

TEST_P(ArgumentReaderTable, ReadsOrRefusesWithTheToolsWords) {
    const Case& c = GetParam();
    const Recorded r = ReadWith(c.reader, c.args, c.operands);
    EXPECT_EQ(r.ok, c.error.empty()) << r.error;
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.seen, c.seen);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgumentReaderTable,
    testing::Values(
        Case{"ValuesAndOperandsInOrder",
             ArgumentReader(),
             {"read", "-p", "/dev/x", "--json", "more"},
             true,
             {"@read", "-p=/dev/x", "--json=", "@more"},
             ""},
        Case{"MissingValue",
             ArgumentReader(),
             {"--json", "--port"},
             true,
             {"--json="},
             "--port needs a value"},
        Case{"ValueMayLookLikeAnOption",
             ArgumentReader(),
             {"-p", "--json"},
             true,
             {"-p=--json"},
             ""},
        Case{"InlineValue",
             Inline(),
             {"--port=/dev/y", "--port="},
             true,
             {"--port=/dev/y", "--port="},
             ""},
        Case{"InlineValueOnAFlag", Inline(), {"--json=1"}, true, {}, "--json takes no value"},
        Case{"InlineOnlyWhenAccepted",
             ArgumentReader(),
             {"--port=/dev/y"},
             true,
             {},
             "unknown option --port=/dev/y"},
        Case{"ShortOptionsHaveNoInlineValue", Inline(), {"-p=x"}, true, {}, "unknown option -p=x"},
        Case{"UnknownOption", ArgumentReader(), {"-"}, true, {}, "unknown option -"},
        Case{"DashAndEndOfOptions",
             EndOfOptions(),
             {"-", "--", "--json", "-p"},
             true,
             {"@-", "@--json", "@-p"},
             ""},
        Case{"DoubleDashIsUnknownWithoutEndOfOptions",
             ArgumentReader(),
             {"--"},
             true,
             {},
             "unknown option --"},
        Case{"HelpEndsTheReading", ArgumentReader(), {"--help", "--bogus"}, true, {"--help="}, ""},
        Case{"OptionRefusesItsValue",
             ArgumentReader(),
             {"--odd", "5", "--json"},
             true,
             {},
             "--odd refuses '5'"},
        Case{"NoOperandsMakesThemUnknown",
             Quoted(),
             {"--json", "stray"},
             false,
             {"--json="},
             "unknown option 'stray'"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace uhf
