#include <csignal>

#include "cli/ProcessSetup.h"

namespace uhf {

namespace {

extern "C" void OnSignal(int) {
    ProcessSetup::NoteSignal(false);
}

}  // namespace

// Windows gives every process its three standard handles and has no SIGPIPE or SIGHUP.
void ProcessSetup::ReserveStandardDescriptors() {}

void ProcessSetup::Prepare() {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
}

}  // namespace uhf
