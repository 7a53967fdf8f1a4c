#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/TempFolder.h"
#include "ui/TraceOption.h"

namespace uhf {
namespace {

struct OptionCase {
    const char* name;
    std::vector<std::string> args;  // FILE stands for the trace file
    bool accepted;
    std::vector<std::string> ports;  // what is left of the arguments when accepted
    bool traced;                     // the trace writes to the file
};

class TraceOptionTest : public testing::TestWithParam<OptionCase> {};

TEST_P(TraceOptionTest, TakesTheFileAndLeavesThePorts) {
    test::TempFolder dir;
    const std::string file = dir.PathOf("line.trace");
    std::vector<std::string> args = GetParam().args;
    for (std::string& arg : args) {
        if (const auto at = arg.find("FILE"); at != std::string::npos) {
            arg.replace(at, 4, file);
        }
    }
    TraceLog trace;
    std::string error;
    EXPECT_EQ(TakeTraceOption(args, trace, error), GetParam().accepted) << error;
    EXPECT_EQ(error.empty(), GetParam().accepted) << error;
    if (GetParam().accepted) {
        EXPECT_EQ(args, GetParam().ports);
    }
    trace.Event("marker");
    std::ifstream written(file);
    std::stringstream text;
    text << written.rdbuf();
    EXPECT_EQ(text.str().find("\t-\t-\t\tmarker\n") != std::string::npos, GetParam().traced)
        << text.str();
}

INSTANTIATE_TEST_SUITE_P(
    Windows, TraceOptionTest,
    testing::Values(
        OptionCase{"None", {"COM3", "COM4"}, true, {"COM3", "COM4"}, false},
        OptionCase{"Separate", {"COM3", "--trace", "FILE", "COM4"}, true, {"COM3", "COM4"}, true},
        OptionCase{"Inline", {"--trace=FILE", "COM3"}, true, {"COM3"}, true},
        OptionCase{"NoFileAtTheEnd", {"COM3", "--trace"}, false, {}, false},
        OptionCase{"EmptyInline", {"--trace=", "COM3"}, false, {}, false},
        OptionCase{"FolderThatIsMissing", {"--trace", "FILE/x"}, false, {}, false}),
    [](const testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace uhf
