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
#include "version/ProgramVersion.h"

namespace {

int ToolMain(int argc, char** argv) {
    uhf::ProcessSetup::Prepare();
    if (uhf::PrintVersionIfAsked("ferrowin-cli", argc, argv)) {
        return uhf::ProcessSetup::Finish("ferrowin-cli",
                                         uhf::ProcessSetup::RefuseClosedOutput("ferrowin-cli")
                                             ? uhf::kExitFailure
                                             : uhf::kExitOk);
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const std::optional<uhf::FerrowinOptions> options = uhf::FerrowinOptions::Parse(args, error);
    if (!options) {
        std::cerr << "ferrowin-cli: " << error << "\n" << uhf::FerrowinOptions::Usage();
        return uhf::kExitUsage;
    }
    // The usage and the table of several readers go to standard output; one reader's result is
    // its exit status.
    if ((options->help || options->ports.size() > 1) &&
        uhf::ProcessSetup::RefuseClosedOutput("ferrowin-cli")) {
        return uhf::kExitFailure;
    }
    if (options->help) {
        std::cout << uhf::FerrowinOptions::Usage();
        return uhf::ProcessSetup::Finish("ferrowin-cli", uhf::kExitOk);
    }
    uhf::FerrowinLine line(*options, &uhf::ProcessSetup::Interrupted);
    uhf::RunReport report("ferrowin-cli", uhf::ProgramVersion());
    if (!options->reportFile.empty()) {
        const auto opened = report.Open(options->reportFile, error);
        if (opened != uhf::RunReport::OpenResult::Opened) {
            std::cerr << "ferrowin-cli: " << error << "\n";
            return uhf::ProcessSetup::Finish(
                "ferrowin-cli", opened == uhf::RunReport::OpenResult::NotAFile ? uhf::kExitUsage
                                                                               : uhf::kExitFailure);
        }
        line.SetReport(&report, uhf::PortEnumerator::ListSystemPortDetails());
    }
    uhf::LowLatencyMode::System().SetWarningSink([](const std::string& warning) {
        uhf::PortRunner::ErrOfThisThread(std::cerr) << "ferrowin-cli: warning: " << warning << "\n";
    });
    return uhf::ProcessSetup::Finish("ferrowin-cli", line.Run(std::cout, std::cerr));
}

}  // namespace

#ifdef _WIN32
// Windows hands wmain the arguments whole, in UTF-16; a narrow main would get them in the ANSI
// code page, which cannot spell most file names.
int wmain(int argc, wchar_t** argv) {
    return uhf::ProcessSetup::RunWithUtf8Arguments(argc, argv, ToolMain);
}
#else
int main(int argc, char** argv) {
    return ToolMain(argc, argv);
}
#endif
