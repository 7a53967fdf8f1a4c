#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "toolsupport/ProcessSetup.h"

namespace uhf {

namespace {

// Written to by the signal handler and never drained: once a stop request came, its read end
// stays readable, so every later wait on it ends at once.
int stopPipe[2] = {-1, -1};

extern "C" void OnSignal(int signal) {
    const int savedErrno = errno;
    ProcessSetup::NoteSignal(signal == SIGHUP);
    if (stopPipe[1] >= 0) {
        const char byte = 1;
        (void)!::write(stopPipe[1], &byte, 1);  // a full pipe is readable already
    }
    errno = savedErrno;
}

}  // namespace

ProcessSetup::Terminal ProcessSetup::ErrorTerminal() {
    return isatty(STDERR_FILENO) == 1 ? Terminal::EscapeSequences : Terminal::None;
}

void ProcessSetup::ReserveStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            if (fd == 1) {
                NoteOutputClosed();
            }
            // The lowest free number is this one: the ones below are open by now.
            (void)::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        }
    }
}

void ProcessSetup::Prepare() {
    ReserveStandardDescriptors();
    if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        stopPipe[0] = stopPipe[1] = -1;  // stop requests then only raise the flag
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
    sigaction(SIGXFSZ, &ignore, nullptr);

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted calls: an interrupted write of output must not count as lost output. The waits
    // that a stop request must end watch the stop pipe instead.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

long ProcessSetup::ReadStandardInput(char* buffer, std::size_t size) {
    for (;;) {
        if (Interrupted()) {
            return -1;
        }
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {stopPipe[0], POLLIN, 0}};
        if (::poll(fds, stopPipe[0] >= 0 ? 2 : 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (fds[0].revents == 0) {
            continue;  // the stop pipe: Interrupted() says so now
        }
        const ssize_t got = ::read(STDIN_FILENO, buffer, size);
        if (got >= 0) {
            return static_cast<long>(got);
        }
        if (errno != EINTR && errno != EAGAIN) {
            return -1;
        }
    }
}

}  // namespace uhf
