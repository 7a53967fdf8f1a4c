#include "toolsupport/ProcessSetup.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "toolsupport/ExitStatus.h"

namespace uhf {

namespace {

volatile std::sig_atomic_t interrupted = 0;
volatile std::sig_atomic_t hungUp = 0;
bool outputClosed = false;

}  // namespace

void ProcessSetup::NoteSignal(bool hangUp) {
    if (hangUp) {
        hungUp = 1;
    }
    interrupted = 1;
}

void ProcessSetup::NoteOutputClosed() {
    outputClosed = true;
}

bool ProcessSetup::RefuseClosedOutput(const char* program) {
    if (!outputClosed) {
        return false;
    }
    std::fprintf(stderr,
                 "%s: standard output is closed: the result would be lost, so nothing was done\n",
                 program);
    return true;
}

bool ProcessSetup::Interrupted() {
    return interrupted != 0;
}

bool ProcessSetup::HungUp() {
    return hungUp != 0;
}

int ProcessSetup::Finish(const char* program, int status) {
    std::cout.flush();
    const bool streamFailed = !std::cout;
    errno = 0;
    const bool flushFailed = std::fflush(stdout) != 0;
    const int flushError = errno;
    if (streamFailed || flushFailed || std::ferror(stdout) != 0) {
        std::string reason = std::string(program) + ": cannot write to standard output";
        if (flushFailed && flushError != 0) {
            reason += std::string(": ") + std::strerror(flushError);
        }
        std::fprintf(stderr, "%s\n", reason.c_str());
        return status == kExitOk ? kExitFailure : status;
    }
    if (HungUp()) {
        std::fprintf(stderr, "%s: hung up\n", program);
        return status == kExitOk ? kExitFailure : status;
    }
    return status;
}

}  // namespace uhf
