// ferrowin-cli: the firmware download tool without a window.
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/PortEnumerator.h"
#include "ferrowin/cli/FerrowinLine.h"
#include "ferrowin/cli/FerrowinOptions.h"
#include "serial/LowLatencyMode.h"
#include "toolsupport/ExitStatus.h"
#include "toolsupport/PortRunner.h"
#include "toolsupport/ProcessSetup.h"
#include "toolsupport/RunReport.h"
#include "toolsupport/ToolEntry.h"
#include "version/ProgramVersion.h"

const char uhf::kToolName[] = "ferrowin-cli";

int uhf::RunTool(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<uhf::FerrowinOptions> options = uhf::FerrowinOptions::Parse(args, error);
    if (!options) {
        std::cerr << uhf::kToolName << ": " << error << "\n" << uhf::FerrowinOptions::Usage();
        return uhf::kExitUsage;
    }
    // The usage and the table of several readers go to standard output; one reader's result is
    // its exit status.
    if ((options->help || options->ports.size() > 1) &&
        uhf::ProcessSetup::RefuseClosedOutput(uhf::kToolName)) {
        return uhf::kExitFailure;
    }
    if (options->help) {
        std::cout << uhf::FerrowinOptions::Usage();
        return uhf::ProcessSetup::Finish(uhf::kToolName, uhf::kExitOk);
    }
    uhf::FerrowinLine line(*options, &uhf::ProcessSetup::Interrupted);
    uhf::RunReport report(uhf::kToolName, uhf::ProgramVersion());
    if (const std::optional<int> refused = report.OpenOrRefuse(options->reportFile)) {
        return *refused;
    }
    if (!options->reportFile.empty()) {
        line.SetReport(&report, uhf::PortEnumerator::ListSystemPortDetails());
    }
    uhf::LowLatencyMode::System().SetWarningSink([](const std::string& warning) {
        uhf::PortRunner::ErrOfThisThread(std::cerr)
            << uhf::kToolName << ": warning: " << warning << "\n";
    });
    return uhf::ProcessSetup::Finish(uhf::kToolName, line.Run(std::cout, std::cerr));
}
