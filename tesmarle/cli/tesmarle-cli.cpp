// tesmarle-cli: the reader's parameter tool without a window.

#include <iostream>
#include <memory>
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
#include "version/ProgramVersion.h"

namespace {

int ToolMain(int argc, char** argv) {
    uhf::ProcessSetup::Prepare();
    if (uhf::PrintVersionIfAsked("tesmarle-cli", argc, argv)) {
        return uhf::ProcessSetup::Finish("tesmarle-cli",
                                         uhf::ProcessSetup::RefuseClosedOutput("tesmarle-cli")
                                             ? uhf::kExitFailure
                                             : uhf::kExitOk);
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    uhf::TesmarleOptions options;
    std::string error;
    if (!uhf::ParseTesmarleArgs(args, options, error)) {
        std::cerr << "tesmarle-cli: " << error << "\n(tesmarle-cli --help shows the usage)\n";
        return uhf::kExitUsage;
    }
    // Every command's result goes to standard output.
    if (uhf::ProcessSetup::RefuseClosedOutput("tesmarle-cli")) {
        return uhf::kExitFailure;
    }

    // The doctor says it in its report; with several ports the warning goes behind its port.
    if (options.action != uhf::TesmarleAction::Doctor) {
        uhf::LowLatencyMode::System().SetWarningSink([](const std::string& warning) {
            uhf::PortRunner::ErrOfThisThread(std::cerr)
                << "tesmarle-cli: warning: " << warning << "\n";
        });
    }
    uhf::RunReport report("tesmarle-cli", uhf::ProgramVersion());
    if (!options.reportFile.empty()) {
        const auto opened = report.Open(options.reportFile, error);
        if (opened != uhf::RunReport::OpenResult::Opened) {
            std::cerr << "tesmarle-cli: " << error << "\n";
            return uhf::ProcessSetup::Finish(
                "tesmarle-cli", opened == uhf::RunReport::OpenResult::NotAFile ? uhf::kExitUsage
                                                                               : uhf::kExitFailure);
        }
    }
    uhf::TesmarleLine runner(
        [](uhf::TraceLog& trace) {
            return std::make_unique<uhf::ReaderLink>(std::make_unique<uhf::TracingSerialPort>(
                std::make_unique<uhf::NativeSerialPort>(), trace));
        },
        std::cout, std::cerr);
    if (!options.reportFile.empty()) {
        runner.SetReport(&report);
    }
    runner.SetInterrupted(&uhf::ProcessSetup::Interrupted);
    runner.SetPortLister(&uhf::PortEnumerator::ListSystemPortDetails);
    const uhf::LinkDoctor doctor(uhf::LinkDoctor::SystemEnvironment());
    runner.SetDoctor(&doctor);
    const int status = runner.Run(options);
    return uhf::ProcessSetup::Finish("tesmarle-cli", status);
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
