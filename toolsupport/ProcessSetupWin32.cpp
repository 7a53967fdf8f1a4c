#include <csignal>
#include <cstdio>

#include "toolsupport/ProcessSetup.h"

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

// The console's stop request does not wake this read yet.
long ProcessSetup::ReadStandardInput(char* buffer, std::size_t size) {
    const std::size_t got = std::fread(buffer, 1, size, stdin);
    return got == 0 && std::ferror(stdin) != 0 ? -1 : static_cast<long>(got);
}

}  // namespace uhf
