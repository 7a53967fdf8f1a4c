// readersim: a simulated UHF reader on a pseudo-terminal, for the tools' tests and the demo.
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "toolsupport/ExitStatus.h"
#include "toolsupport/ProcessSetup.h"
#include "readersim/SimOptions.h"
#include "readersim/SimulatorRunner.h"
#include "version/ProgramVersion.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t mendRequested = 0;

void OnSignal(int signal) {
    (signal == SIGUSR1 ? mendRequested : stopRequested) = 1;
}

}  // namespace

int main(int argc, char** argv) {
    uhf::ProcessSetup::ReserveStandardDescriptors();
    if (uhf::PrintVersionIfAsked("readersim", argc, argv)) {
        return uhf::ProcessSetup::Finish("readersim", uhf::kExitOk);
    }
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    std::optional<uhf::SimOptions> options = uhf::SimOptions::Parse(args, error);
    if (!options) {
        std::fprintf(stderr, "readersim: %s\n%s", error.c_str(), uhf::SimOptions::Usage());
        return uhf::kExitUsage;
    }
    if (options->help) {
        std::fputs(uhf::SimOptions::Usage(), stdout);
        return uhf::ProcessSetup::Finish("readersim", uhf::kExitOk);
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: the wait must return to see the flag
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);  // a test's way to mend the line of a running reader
    std::signal(SIGPIPE, SIG_IGN);

    uhf::SimulatorRunner runner(std::move(*options));
    if (!runner.Start(error)) {
        std::fprintf(stderr, "readersim: %s\n", error.c_str());
        return uhf::kExitFailure;
    }
    std::printf("%s\n", runner.PortPath().c_str());
    std::fflush(stdout);
    return runner.Run(stopRequested, mendRequested);
}
