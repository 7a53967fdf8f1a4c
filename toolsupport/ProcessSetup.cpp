#include "toolsupport/ProcessSetup.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "toolsupport/ExitStatus.h"

namespace uhf {

namespace {

// Set from a signal handler, or on Windows from the console's own thread.
std::atomic<bool> interrupted{false};
std::atomic<bool> hungUp{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");
bool outputClosed = false;

}  // namespace

void ProcessSetup::NoteSignal(bool hangUp) {
    if (hangUp) {
        hungUp = true;
    }
    interrupted = true;
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
    return interrupted;
}

bool ProcessSetup::HungUp() {
    return hungUp;
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
