#pragma once

// The tool's end of the pseudo-terminal in the readersim tests: a raw serial port at a rate.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace uhf::test {

class ToolPort {
  public:
    ~ToolPort() { Close(); }

    bool Open(const std::string& path, speed_t speed) {
        Close();
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        return fd >= 0 && SetSpeed(speed);
    }
    bool SetSpeed(speed_t speed) {
        termios tio{};
        if (tcgetattr(fd, &tio) != 0) {
            return false;
        }
        cfmakeraw(&tio);
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        return tcsetattr(fd, TCSANOW, &tio) == 0;
    }
    void Close() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
    bool Write(const std::vector<std::uint8_t>& bytes) {
        return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    // Everything that arrives within `span`.
    std::vector<std::uint8_t> ReadFor(std::chrono::milliseconds span) {
        std::vector<std::uint8_t> result;
        const auto deadline = std::chrono::steady_clock::now() + span;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) > 0) {
                std::uint8_t buffer[512];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0) {
                    result.insert(result.end(), buffer, buffer + n);
                }
            }
        }
        return result;
    }
    // Writes `request` and returns what arrives within `span`.
    std::vector<std::uint8_t> Exchange(
        const std::vector<std::uint8_t>& request,
        std::chrono::milliseconds span = std::chrono::milliseconds(150)) {
        if (!Write(request)) {
            return {};
        }
        return ReadFor(span);
    }

    int fd = -1;
};

}  // namespace uhf::test
