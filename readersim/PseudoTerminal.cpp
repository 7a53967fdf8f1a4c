#include "readersim/PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

#include "serial/PosixSpeed.h"

namespace uhf {

namespace {

std::string Reason(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

PseudoTerminal::~PseudoTerminal() {
    Close();
}

bool PseudoTerminal::Open(int baud, std::string& error) {
    Close();
    const std::optional<speed_t> speed = SpeedForBaud(baud);
    if (!speed) {
        error = "unsupported rate " + std::to_string(baud);
        return false;
    }
    const auto fail = [&](const char* what) {
        error = Reason(what);
        Close();
        return false;
    };
    master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        return fail("posix_openpt");
    }
    const int flags = fcntl(master, F_GETFL);
    if (flags < 0 || fcntl(master, F_SETFL, flags | O_NONBLOCK) != 0) {
        return fail("fcntl");
    }
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        return fail("grantpt/unlockpt");
    }
    const char* name = ptsname(master);
    if (name == nullptr) {
        return fail("ptsname");
    }
    slavePath = name;
    // Opening and closing the slave once sets its line up and leaves the master reporting a
    // hang-up until a tool opens it, which is how the simulator knows that nobody listens.
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        return fail("open slave");
    }
    termios tio{};
    bool configured = tcgetattr(slave, &tio) == 0;
    if (configured) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&tio, *speed);
        cfsetospeed(&tio, *speed);
        configured = tcsetattr(slave, TCSANOW, &tio) == 0;
    }
    if (!configured) {
        error = Reason("configure slave");
    }
    ::close(slave);
    if (!configured) {
        Close();
        return false;
    }
    return true;
}

void PseudoTerminal::Close() {
    if (master >= 0) {
        ::close(master);
        master = -1;
    }
    slavePath.clear();
}

int PseudoTerminal::LineBaud() const {
    termios tio{};
    if (master < 0 || tcgetattr(master, &tio) != 0) {
        return 0;
    }
    return BaudForSpeed(cfgetospeed(&tio));
}

PseudoTerminal::Wait PseudoTerminal::WaitReadableMicros(long long timeoutUs) const {
    pollfd p{master, POLLIN, 0};
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(timeoutUs / 1'000'000);
    timeout.tv_nsec = static_cast<long>(timeoutUs % 1'000'000) * 1000;
    const int r = ::ppoll(&p, 1, &timeout, nullptr);
    if (r < 0) {
        return errno == EINTR ? Wait::Interrupted : Wait::Error;
    }
    if (r == 0) {
        return Wait::Timeout;
    }
    if ((p.revents & POLLIN) != 0) {
        return Wait::Readable;
    }
    if ((p.revents & POLLNVAL) != 0) {
        return Wait::Error;
    }
    // POLLHUP, or an error condition on the line: either way nothing reaches a tool now.
    return Wait::NoPeer;
}

namespace {

// EIO: the tool closed the port between the wait and the transfer.
long Transferred(ssize_t n) {
    return n >= 0                                              ? static_cast<long>(n)
           : errno == EAGAIN || errno == EINTR || errno == EIO ? 0
                                                               : -1;
}

}  // namespace

long PseudoTerminal::Read(std::uint8_t* buffer, std::size_t capacity) {
    return Transferred(::read(master, buffer, capacity));
}

long PseudoTerminal::Write(const std::uint8_t* bytes, std::size_t count) {
    return Transferred(::write(master, bytes, count));
}

}  // namespace uhf
