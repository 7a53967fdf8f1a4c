// tesmarle-cli: the reader's parameter tool without a window.

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "cli/ExitStatus.h"
#include "cli/TesmarleOptions.h"
#include "cli/TesmarleRunner.h"
#include "common/PortConfig.h"
#include "reader/ReaderLink.h"

namespace {

volatile std::sig_atomic_t interruptedBySignal = 0;

extern "C" void OnSignal(int) {
    interruptedBySignal = 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    uhf::TesmarleOptions options;
    std::string error;
    if (!uhf::ParseTesmarleArgs(args, options, error)) {
        std::cerr << "tesmarle-cli: " << error << "\n(tesmarle-cli --help shows the usage)\n";
        return uhf::kExitUsage;
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);

    uhf::ReaderLink link;
    uhf::TesmarleRunner runner(link, std::cout, std::cerr);
    runner.SetInterrupted([] { return interruptedBySignal != 0; });
    runner.SetPortLister([] {
        uhf::PortConfig config;
        std::vector<std::string> ports;
        config.ListPorts(ports);
        return ports;
    });
    return runner.Run(options);
}
