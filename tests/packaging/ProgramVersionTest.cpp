#include "version/ProgramVersion.h"

#include <gtest/gtest.h>

#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace uhf {
namespace {

struct ArgsCase {
    const char* name;
    std::vector<const char*> args;  // after the program's name
    bool version;
    bool help;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ArgsCase& c, std::ostream* out) {
    *out << c.name;
}

class StandardOptionsTest : public testing::TestWithParam<ArgsCase> {};

TEST_P(StandardOptionsTest, AreFoundBeforeTheEndOfOptionsOnly) {
    std::vector<const char*> argv{"program"};
    argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(argv.size()) - 1;
    EXPECT_EQ(AsksForVersion(argc, argv.data()), GetParam().version);
    EXPECT_EQ(AsksForHelp(argc, argv.data()), GetParam().help);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, StandardOptionsTest,
    testing::Values(
        ArgsCase{"None", {}, false, false}, ArgsCase{"VersionAlone", {"--version"}, true, false},
        ArgsCase{"VersionAfterACommand", {"-p", "/dev/ttyUSB0", "read", "--version"}, true, false},
        ArgsCase{"LongHelp", {"--help"}, false, true},
        ArgsCase{"ShortHelpAfterAPort", {"/tmp/reader", "-h"}, false, true},
        // A port or firmware file that happens to look like an option.
        ArgsCase{"OperandsAfterEndOfOptions", {"--", "--version", "--help"}, false, false},
        ArgsCase{"LookAlikes", {"--versions", "-help", "-v", "version"}, false, false}),
    [](const testing::TestParamInfo<ArgsCase>& info) { return std::string(info.param.name); });

TEST(ProgramVersionTest, NamesTheProjectVersionAndACommitWhereKnown) {
    const std::string version = ProgramVersion();
    EXPECT_TRUE(std::regex_match(
        version, std::regex(R"(\d+\.\d+(\.\d+)?( \(commit [0-9a-f]{7,}(-dirty)?\))?)")))
        << version;
    EXPECT_EQ(version.rfind(UHF_PROJECT_VERSION, 0), 0u) << version;
}

}  // namespace
}  // namespace uhf
