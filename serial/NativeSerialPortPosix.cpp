#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "serial/NativeSerialPort.h"
#include "serial/PosixSpeed.h"

namespace uhf {

struct NativeSerialPort::Handle {
    int fd = -1;
    // A pipe whose read end a blocked read polls beside the port; Wake writes a byte into it.
    int wakeRead = -1;
    int wakeWrite = -1;
};

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

SerialError ErrorFromOpen(int error) {
    switch (error) {
        case ENOENT:
        case ENXIO:
        case ENODEV:
        case ENOTDIR:
            return SerialError::NoSuchDevice;
        case EACCES:
        case EPERM:
        case EROFS:
            return SerialError::PermissionDenied;
        case EBUSY:
            return SerialError::Busy;
        case EISDIR:
            return SerialError::IsADirectory;
        case ELOOP:
            return SerialError::LinkLoop;
        case ENAMETOOLONG:
            return SerialError::NameTooLong;
        default:
            return SerialError::IoError;
    }
}

SerialError Configure(int fd, int baudRate) {
    const std::optional<speed_t> found = SpeedForBaud(baudRate);
    if (!found) {
        return SerialError::SettingsRefused;
    }
    const speed_t speed = *found;
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return errno == ENOTTY ? SerialError::NotATerminal : SerialError::IoError;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_iflag |= IGNBRK;
    // Reads never block in the driver: poll does the timing.
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0) {
        return SerialError::SettingsRefused;
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        return SerialError::SettingsRefused;
    }
    // tcsetattr succeeds when any one change took: check that the line is what was asked for.
    termios check{};
    if (tcgetattr(fd, &check) != 0 || cfgetospeed(&check) != speed ||
        (check.c_cflag & CSIZE) != CS8 || (check.c_cflag & (PARENB | CSTOPB | CRTSCTS)) != 0) {
        return SerialError::SettingsRefused;
    }
    // DTR and RTS on. A pseudo-terminal has no modem lines, so a refusal here is not fatal.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIS, &lines);
    return SerialError::None;
}

}  // namespace

NativeSerialPort::NativeSerialPort(LowLatencyMode& mode)
    : handle(std::make_unique<Handle>()), lowLatency(mode) {
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        handle->wakeRead = fds[0];
        handle->wakeWrite = fds[1];
    }
}

NativeSerialPort::~NativeSerialPort() {
    Close();
    if (handle->wakeRead >= 0) {
        ::close(handle->wakeRead);
        ::close(handle->wakeWrite);
    }
}

SerialError NativeSerialPort::Open(const std::string& device, int baudRate) {
    Close();
    if (device.empty()) {
        return SerialError::InvalidName;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return ErrorFromOpen(errno);
    }
    // Exclusive use: TIOCEXCL keeps other opens out (root excepted), the advisory lock also
    // keeps out other programs that lock, whoever runs them.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? SerialError::Busy : SerialError::IoError;
    }
    const SerialError configured = Configure(fd, baudRate);
    if (configured != SerialError::None) {
        ::close(fd);
        return configured;
    }
    if (ioctl(fd, TIOCEXCL) != 0) {
        ::close(fd);
        return SerialError::IoError;
    }
    // A USB adapter's driver may hold received bytes for up to 16 ms; it warns, never fails.
    (void)lowLatency.Request(fd, device);
    handle->fd = fd;
    return SerialError::None;
}

void NativeSerialPort::Close() {
    if (handle->fd >= 0) {
        (void)ioctl(handle->fd, TIOCNXCL);
        ::close(handle->fd);
        handle->fd = -1;
    }
}

bool NativeSerialPort::IsOpen() const {
    return handle->fd >= 0;
}

int NativeSerialPort::Read(std::uint8_t* buffer, int count) {
    if (handle->fd < 0 || buffer == nullptr || count < 0) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(ReadTotalTimeoutMs(count));
    int got = 0;
    while (got < count) {
        int wait = MillisecondsLeft(deadline);
        if (got > 0 && wait > kInterByteGapMs) {
            wait = kInterByteGapMs;
        }
        pollfd pfd[2] = {{handle->fd, POLLIN, 0}, {handle->wakeRead, POLLIN, 0}};
        const int ready = ::poll(pfd, handle->wakeRead >= 0 ? 2 : 1, wait);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return got > 0 ? got : -1;
        }
        if (ready == 0) {
            break;
        }
        if ((pfd[1].revents & POLLIN) != 0) {
            ClearWake();
            break;
        }
        if ((pfd[0].revents & POLLIN) == 0) {
            // Hang-up or error without data: the device went away.
            return got > 0 ? got : -1;
        }
        const ssize_t n = ::read(handle->fd, buffer + got, static_cast<size_t>(count - got));
        if (n > 0) {
            got += static_cast<int>(n);
        } else if (n == 0) {
            return got > 0 ? got : -1;
        } else if (errno != EAGAIN && errno != EINTR) {
            return got > 0 ? got : -1;
        }
    }
    return got;
}

int NativeSerialPort::Write(const std::uint8_t* bytes, int count) {
    if (handle->fd < 0 || bytes == nullptr || count < 0) {
        return -1;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(WriteTotalTimeoutMs(count));
    int done = 0;
    while (done < count) {
        pollfd pfd{handle->fd, POLLOUT, 0};
        const int ready = ::poll(&pfd, 1, MillisecondsLeft(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return done > 0 ? done : -1;
        }
        if (ready == 0) {
            break;
        }
        if ((pfd.revents & POLLOUT) == 0) {
            return done > 0 ? done : -1;
        }
        const ssize_t n = ::write(handle->fd, bytes + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return done > 0 ? done : -1;
        }
    }
    return done;
}

void NativeSerialPort::Purge() {
    if (handle->fd >= 0) {
        (void)tcflush(handle->fd, TCIFLUSH);
    }
}

void NativeSerialPort::Wake() {
    if (handle->wakeWrite >= 0) {
        const std::uint8_t byte = 1;
        // A full pipe already holds a wake: nothing is lost when this write fails.
        (void)!::write(handle->wakeWrite, &byte, 1);
    }
}

void NativeSerialPort::ClearWake() {
    std::uint8_t drain[64];
    while (handle->wakeRead >= 0 && ::read(handle->wakeRead, drain, sizeof(drain)) > 0) {
    }
}

}  // namespace uhf
