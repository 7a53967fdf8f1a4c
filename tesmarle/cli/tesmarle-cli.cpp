// tesmarle-cli: the reader's parameter tool without a window.

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/PortEnumerator.h"
#include "reader/LinkDoctor.h"
#include "reader/ReaderLink.h"
#include "serial/LowLatencyMode.h"
#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "tesmarle/cli/TesmarleLine.h"
#include "tesmarle/cli/TesmarleOptions.h"
#include "toolsupport/ExitStatus.h"
#include "toolsupport/PortRunner.h"
#include "toolsupport/ProcessSetup.h"
#include "toolsupport/RunReport.h"
#include "toolsupport/ToolEntry.h"
#include "version/ProgramVersion.h"

const char uhf::kToolName[] = "tesmarle-cli";

int uhf::RunTool(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    uhf::TesmarleOptions options;
    std::string error;
    if (!uhf::ParseTesmarleArgs(args, options, error)) {
        std::cerr << uhf::kToolName << ": " << error << "\n(tesmarle-cli --help shows the usage)\n";
        return uhf::kExitUsage;
    }
    // Every command's result goes to standard output.
    if (uhf::ProcessSetup::RefuseClosedOutput(uhf::kToolName)) {
        return uhf::kExitFailure;
    }

    // The doctor says it in its report; with several ports the warning goes behind its port.
    if (options.action != uhf::TesmarleAction::Doctor) {
        uhf::LowLatencyMode::System().SetWarningSink([](const std::string& warning) {
            uhf::PortRunner::ErrOfThisThread(std::cerr)
                << uhf::kToolName << ": warning: " << warning << "\n";
        });
    }
    uhf::RunReport report(uhf::kToolName, uhf::ProgramVersion());
    if (const std::optional<int> refused = report.OpenOrRefuse(options.reportFile)) {
        return *refused;
    }
    const uhf::LinkDoctor doctor(uhf::LinkDoctor::SystemEnvironment());
    uhf::TesmarleLine runner(
        [](uhf::TraceLog& trace) {
            return std::make_unique<uhf::ReaderLink>(std::make_unique<uhf::TracingSerialPort>(
                std::make_unique<uhf::NativeSerialPort>(), trace));
        },
        std::cout, std::cerr,
        {.interrupted = &uhf::ProcessSetup::Interrupted,
         .listPorts = &uhf::PortEnumerator::ListSystemPortDetails,
         .doctor = &doctor},
        options.reportFile.empty() ? nullptr : &report);
    const int status = runner.Run(options);
    return uhf::ProcessSetup::Finish(uhf::kToolName, status);
}
