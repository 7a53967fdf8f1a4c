#include <gtest/gtest.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "fakes/PtyPair.h"
#include "fakes/TempFolder.h"
#include "serial/NativeSerialPort.h"

namespace uhf {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long ElapsedMs(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

class NativeSerialPortPty : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()) << "openpty failed"; }

    void MasterWrite(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(write(pty.master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    std::vector<std::uint8_t> MasterRead(int count, int timeoutMs = 1000) {
        std::vector<std::uint8_t> bytes;
        const auto start = Clock::now();
        while (static_cast<int>(bytes.size()) < count && ElapsedMs(start) < timeoutMs) {
            pollfd pfd{pty.master, POLLIN, 0};
            if (poll(&pfd, 1, 20) > 0) {
                std::array<std::uint8_t, 256> chunk{};
                const ssize_t n = read(pty.master, chunk.data(), chunk.size());
                if (n > 0) {
                    bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
                }
            }
        }
        return bytes;
    }

    test::PtyPair pty;
    NativeSerialPort port;
};

TEST_F(NativeSerialPortPty, OpenSetsARaw8N1LineWithoutFlowControl) {
    // Start from a cooked line so that every setting has to be made by Open.
    termios cooked{};
    tcgetattr(pty.slave, &cooked);
    cooked.c_lflag |= ICANON | ECHO | ISIG;
    cooked.c_iflag |= IXON | ICRNL;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_cflag |= PARENB;
    tcsetattr(pty.slave, TCSANOW, &cooked);

    ASSERT_EQ(port.Open(pty.slavePath, 38400), SerialError::None);
    ASSERT_TRUE(port.IsOpen());
    termios tio{};
    ASSERT_EQ(tcgetattr(pty.slave, &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(tio.c_cflag & CLOCAL, 0u);
    EXPECT_NE(tio.c_cflag & CREAD, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL | INLCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(cfgetispeed(&tio), static_cast<speed_t>(B38400));

    // Every byte value crosses unchanged in both directions, 0x0A, 0x0D, 0x11 and 0x13 included.
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    ASSERT_EQ(port.Write(all.data(), 256), 256);
    EXPECT_EQ(MasterRead(256), all);
    MasterWrite(all);
    std::vector<std::uint8_t> back(256);
    int got = 0;
    while (got < 256) {
        const int n = port.Read(back.data() + got, 256 - got);
        ASSERT_GT(n, 0);
        got += n;
    }
    EXPECT_EQ(back, all);
}

TEST_F(NativeSerialPortPty, ReadReturnsAtOnceWhenEveryByteHasCome) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    MasterWrite({1, 2, 3, 4});
    std::array<std::uint8_t, 4> buffer{};
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer.data(), 4), 4);
    EXPECT_LT(ElapsedMs(start), 90) << "no wait for a gap once k bytes are there";
    EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
}

TEST_F(NativeSerialPortPty, ReadOfSilenceEndsAfterTheTotalTimeout) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    std::array<std::uint8_t, 100> buffer{};
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer.data(), 100), 0);
    const long elapsed = ElapsedMs(start);
    EXPECT_GE(elapsed, 195) << "k + 100 ms for k = 100";
    EXPECT_LT(elapsed, 1500);
}

TEST_F(NativeSerialPortPty, ReadEndsOnAGapAfterTheFirstByte) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    // A read of 1000 bytes may last 1100 ms in all; the pause outlasts that, so only the 50 ms
    // gap can end the read early, and the bound leaves a busy machine room.
    std::thread peer([this] {
        MasterWrite({0xE0, 0x03});
        std::this_thread::sleep_for(milliseconds(1300));
        MasterWrite({0xFE, 0x00, 0x1F});
    });
    std::array<std::uint8_t, 1000> buffer{};
    const auto start = Clock::now();
    const int first = port.Read(buffer.data(), 1000);
    const long elapsed = ElapsedMs(start);
    peer.join();
    EXPECT_EQ(first, 2) << "the pause ends the read";
    EXPECT_LT(elapsed, 900) << "the gap, not the 1100 ms total, ended it";
    // The late bytes wait in the port for the next read.
    EXPECT_EQ(port.Read(buffer.data(), 100), 3);
    EXPECT_EQ(buffer[0], 0xFE);
}

TEST_F(NativeSerialPortPty, ReadOfAFlowingLineEndsAtTheTotalTimeout) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    std::atomic<bool> done{false};
    std::thread peer([this, &done] {
        while (!done) {
            const std::uint8_t byte = 0x55;
            (void)write(pty.master, &byte, 1);
            std::this_thread::sleep_for(milliseconds(20));
        }
    });
    std::array<std::uint8_t, 100> buffer{};
    const auto start = Clock::now();
    const int got = port.Read(buffer.data(), 100);
    const long elapsed = ElapsedMs(start);
    done = true;
    peer.join();
    EXPECT_GT(got, 0);
    EXPECT_LT(got, 100);
    EXPECT_GE(elapsed, 150) << "bytes every 20 ms never open a 50 ms gap";
    EXPECT_LT(elapsed, 1500);
}

TEST_F(NativeSerialPortPty, PurgeDiscardsWhatThePortHolds) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    MasterWrite({0xE0, 0x03, 0xFE, 0x00, 0x1F});
    std::this_thread::sleep_for(milliseconds(50));  // the pty hands the bytes over
    port.Purge();
    MasterWrite({0x42});
    std::array<std::uint8_t, 100> buffer{};
    EXPECT_EQ(port.Read(buffer.data(), 100), 1);
    EXPECT_EQ(buffer[0], 0x42);
}

TEST_F(NativeSerialPortPty, WakeFromAnotherThreadEndsAReadAtOnce) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    std::array<std::uint8_t, 2048> buffer{};
    std::thread waker([this] {
        std::this_thread::sleep_for(milliseconds(30));
        port.Wake();
    });
    const auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer.data(), 2048), 0);
    const long elapsed = ElapsedMs(start);
    waker.join();
    EXPECT_LT(elapsed, 1000) << "not the 2148 ms of a silent line";
    MasterWrite({7});
    EXPECT_EQ(port.Read(buffer.data(), 1), 1) << "the port reads on after a wake";
}

TEST_F(NativeSerialPortPty, AWakeBeforeTheReadEndsThatReadAndClearWakeForgetsIt) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    std::array<std::uint8_t, 100> buffer{};
    port.Wake();
    port.Wake();
    auto start = Clock::now();
    EXPECT_EQ(port.Read(buffer.data(), 100), 0);
    EXPECT_LT(ElapsedMs(start), 150);
    start = Clock::now();
    EXPECT_EQ(port.Read(buffer.data(), 100), 0);
    EXPECT_GE(ElapsedMs(start), 195) << "one read takes every wake made before it";
    port.Wake();
    port.ClearWake();
    start = Clock::now();
    EXPECT_EQ(port.Read(buffer.data(), 100), 0);
    EXPECT_GE(ElapsedMs(start), 195);
}

TEST_F(NativeSerialPortPty, SecondOpenOfTheSamePortIsBusy) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    NativeSerialPort other;
    EXPECT_EQ(other.Open(pty.slavePath, 9600), SerialError::Busy);
    EXPECT_FALSE(other.IsOpen());
    port.Close();
    EXPECT_EQ(other.Open(pty.slavePath, 9600), SerialError::None);
}

TEST_F(NativeSerialPortPty, AdvisoryLockKeepsThePortFromOtherToolsEvenForRoot) {
    // Root passes TIOCEXCL; the lock that each of our tools takes still keeps a second one out.
    // The pair's own descriptor is another open of the line, as another program's would be.
    ASSERT_EQ(flock(pty.slave, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(port.Open(pty.slavePath, 9600), SerialError::Busy);
    EXPECT_FALSE(port.IsOpen());
    ASSERT_EQ(flock(pty.slave, LOCK_UN), 0);

    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    EXPECT_NE(flock(pty.slave, LOCK_EX | LOCK_NB), 0) << "the port's lock keeps the others out";
    port.Close();
    EXPECT_EQ(flock(pty.slave, LOCK_EX | LOCK_NB), 0) << "and goes with the close";
}

// Runs `attempt` in a child process as an ordinary user (when the test runs as root) and
// returns the child's exit status.
template <typename Attempt>
int AsOrdinaryUser(Attempt attempt) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(99);
        }
        _exit(attempt());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(NativeSerialPortPty, OpenSetsExclusiveUseForEveryone) {
    // The device belongs to the user who tries, so that only the exclusive mode can refuse.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(pty.slavePath.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    const std::string path = pty.slavePath;
    const int status = AsOrdinaryUser([&path] {
        const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        return fd < 0 && errno == EBUSY ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "a plain open of the held port is refused as busy";
    port.Close();
    EXPECT_EQ(AsOrdinaryUser([&path] {
                  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
                  return fd >= 0 ? 0 : 1;
              }),
              0)
        << "and allowed once the port is closed";
}

TEST_F(NativeSerialPortPty, OpenFailuresSayWhy) {
    EXPECT_EQ(port.Open("/dev/no-such-serial-port", 9600), SerialError::NoSuchDevice);
    EXPECT_EQ(port.Open("", 9600), SerialError::InvalidName);
    EXPECT_EQ(port.Open("/dev/null", 9600), SerialError::NotATerminal);
    EXPECT_EQ(port.Open(pty.slavePath, 12345), SerialError::SettingsRefused);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(NativeSerialPortPty, NameThatIsNoDeviceSaysWhatItIs) {
    const test::TempFolder folder;
    const std::string loop = folder.PathOf("serial-loop");
    ASSERT_EQ(symlink(loop.c_str(), loop.c_str()), 0);
    const struct {
        std::string path;
        SerialError error;
    } cases[] = {
        {folder.Path().string(), SerialError::IsADirectory},
        {loop, SerialError::LinkLoop},
        {folder.PathOf(std::string(300, 'n')), SerialError::NameTooLong},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(port.Open(c.path, 9600), c.error) << ToString(port.Open(c.path, 9600));
        EXPECT_NE(ToString(c.error), ToString(SerialError::IoError));
    }
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(NativeSerialPortPty, PermissionDeniedWhenTheDeviceIsNotOurs) {
    ASSERT_EQ(chmod(pty.slavePath.c_str(), 0600), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(pty.slavePath.c_str(), 0, 0), 0);
    } else {
        ASSERT_EQ(chmod(pty.slavePath.c_str(), 0), 0);
    }
    const std::string path = pty.slavePath;
    EXPECT_EQ(AsOrdinaryUser([&path] {
                  NativeSerialPort other;
                  return other.Open(path, 9600) == SerialError::PermissionDenied ? 0 : 1;
              }),
              0);
}

TEST_F(NativeSerialPortPty, ALongPathIsUsedAsGiven) {
    // Nothing cuts a port name on this platform: a long path is opened whole.
    const test::TempFolder folder;
    const std::string dir = folder.PathOf("a-directory-with-a-rather-long-name-for-ports");
    ASSERT_EQ(mkdir(dir.c_str(), 0700), 0);
    const std::string link = dir + "/reader-on-the-bench-ttyUSB0";
    ASSERT_EQ(symlink(pty.slavePath.c_str(), link.c_str()), 0);
    EXPECT_EQ(port.Open(link, 9600), SerialError::None);
}

TEST_F(NativeSerialPortPty, VanishedPortMakesReadFail) {
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    close(pty.master);
    pty.master = -1;
    std::array<std::uint8_t, 10> buffer{};
    EXPECT_EQ(port.Read(buffer.data(), 10), -1);
}

TEST_F(NativeSerialPortPty, ClosedPortRefusesIo) {
    std::array<std::uint8_t, 4> buffer{};
    EXPECT_EQ(port.Read(buffer.data(), 4), -1);
    EXPECT_EQ(port.Write(buffer.data(), 4), -1);
}

TEST_F(NativeSerialPortPty, ReopenClosesTheOldPortFirst) {
    test::PtyPair second;
    ASSERT_TRUE(second.Ok());
    ASSERT_EQ(port.Open(pty.slavePath, 9600), SerialError::None);
    ASSERT_EQ(port.Open(second.slavePath, 9600), SerialError::None);
    NativeSerialPort other;
    EXPECT_EQ(other.Open(pty.slavePath, 9600), SerialError::None) << "the first port was let go";
}

}  // namespace
}  // namespace uhf
