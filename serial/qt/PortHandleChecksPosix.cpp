#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

#include "serial/qt/PortHandleChecks.h"

namespace uhf {

bool PortHandleChecks::Lock(long long handle) {
    return flock(static_cast<int>(handle), LOCK_EX | LOCK_NB) == 0;
}

bool PortHandleChecks::IsSerialLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return true;  // it did not open: some other failure, not this one
    }
    const bool line = isatty(fd) == 1;
    ::close(fd);
    return line;
}

bool PortHandleChecks::HasHungUp(long long handle) {
    pollfd pfd{static_cast<int>(handle), POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

}  // namespace uhf
