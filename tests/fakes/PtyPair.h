#pragma once

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

namespace uhf::test {

// A pseudo-terminal pair: the test plays the far end of the line on `master`, the code under
// test opens `slavePath` like a serial device. The slave is kept open (and raw) so that the
// master never sees a hang-up between two opens of the code under test.
class PtyPair {
  public:
    PtyPair() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            master = slave = -1;
            return;
        }
        slavePath = name;
        termios tio{};
        tcgetattr(slave, &tio);
        cfmakeraw(&tio);
        tcsetattr(slave, TCSANOW, &tio);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
    }
    ~PtyPair() {
        if (master >= 0) {
            close(master);
        }
        if (slave >= 0) {
            close(slave);
        }
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Ok() const { return master >= 0; }

    int master = -1;
    int slave = -1;
    std::string slavePath;
};

}  // namespace uhf::test
