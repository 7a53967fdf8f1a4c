#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "cli/ProcessSetup.h"

namespace uhf {

namespace {

extern "C" void OnSignal(int signal) {
    ProcessSetup::NoteSignal(signal == SIGHUP);
}

}  // namespace

void ProcessSetup::ReserveStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free number is this one: the ones below are open by now.
            (void)::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        }
    }
}

void ProcessSetup::Prepare() {
    ReserveStandardDescriptors();
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: an interrupted write of output must not count as lost output.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

}  // namespace uhf
