// QtCommControl on a real pseudo-terminal: the settings reach the line, bytes leave in order, every
// arrival comes back on the owner's thread, and a port that cannot be opened says why.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cerrno>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "fakes/TempFolder.h"
#include "serial/qt/QtCommControl.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Runs the event loop until `done` holds or two seconds pass.
bool PumpUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 2000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

class QtCommControlTest : public testing::Test {
  protected:
    void SetUp() override {
        char name[256] = {};
        ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
        path = name;
        // Keeping a descriptor of the terminal open keeps it alive between the control's closes.
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
    }
    void TearDown() override {
        if (master >= 0) {
            close(master);
        }
        close(slave);
    }

    Bytes ReadMaster(std::size_t count) {
        Bytes got;
        pollfd p{master, POLLIN, 0};
        while (got.size() < count && poll(&p, 1, 2000) > 0) {
            std::uint8_t buffer[256];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    int master = -1;
    int slave = -1;
    std::string path;
};

TEST_F(QtCommControlTest, OpensByPathWithTheSettingsOnTheLine) {
    QtCommControl comm;
    ASSERT_EQ(comm.Open(path, "57600,N,8,1"), 1) << comm.LastErrorText();
    EXPECT_TRUE(comm.IsOpen());
    termios line{};
    ASSERT_EQ(tcgetattr(slave, &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B57600));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(line.c_cflag & PARENB, 0U);
    EXPECT_EQ(line.c_cflag & CSTOPB, 0U);
    EXPECT_EQ(line.c_cflag & CRTSCTS, 0U);

    comm.Close();
    EXPECT_FALSE(comm.IsOpen());
    ASSERT_EQ(comm.Open(path, "9600,N,8,1"), 1);
    ASSERT_EQ(tcgetattr(slave, &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
}

TEST_F(QtCommControlTest, WrittenBytesLeaveInOrder) {
    QtCommControl comm;
    ASSERT_EQ(comm.Open(path, "115200,N,8,1"), 1);
    const Bytes first{0xA0, 0x03, 0x69, 0x00, 0xF4};
    const Bytes second{0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74};
    ASSERT_EQ(comm.Write(first.data(), static_cast<int>(first.size())), 1);
    ASSERT_EQ(comm.Write(second.data(), static_cast<int>(second.size())), 1);
    // The bytes leave from the event loop.
    QCoreApplication::processEvents();
    Bytes expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(ReadMaster(expected.size()), expected);
}

TEST_F(QtCommControlTest, EveryArrivalReachesTheHandlerOnTheOwnersThread) {
    QtCommControl comm;
    ASSERT_EQ(comm.Open(path, "115200,N,8,1"), 1);
    Bytes received;
    int notifications = 0;
    bool onOwnerThread = true;
    const auto owner = std::this_thread::get_id();
    comm.SetReceiveHandler([&](const std::uint8_t* bytes, int count) {
        ++notifications;
        onOwnerThread = onOwnerThread && std::this_thread::get_id() == owner;
        received.insert(received.end(), bytes, bytes + count);
    });
    const Bytes part1{0xE4, 0x03};
    ASSERT_EQ(write(master, part1.data(), part1.size()), 2);
    // Fewer than five bytes must still be delivered.
    ASSERT_TRUE(PumpUntil([&] { return received.size() == 2; }));
    const Bytes part2{0x69, 0x00, 0xB0};
    ASSERT_EQ(write(master, part2.data(), part2.size()), 3);
    ASSERT_TRUE(PumpUntil([&] { return received.size() == 5; }));
    EXPECT_EQ(received, (Bytes{0xE4, 0x03, 0x69, 0x00, 0xB0}));
    EXPECT_GE(notifications, 2);
    EXPECT_TRUE(onOwnerThread);
}

TEST_F(QtCommControlTest, AbsentPortIsNotFound) {
    QtCommControl comm;
    EXPECT_EQ(comm.Open("/dev/no-such-port-here", "115200,N,8,1"), 0);
    EXPECT_EQ(comm.LastError(), CommError::NotFound);
    EXPECT_FALSE(comm.LastErrorText().empty());
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(QtCommControlTest, RefusedOpenIsPermissionDeniedNotBusy) {
    // A file that refuses writing to everyone, root included.
    const std::string refused = "/sys/kernel/notes";
    const int probe = open(refused.c_str(), O_RDWR);
    if (probe >= 0 || errno != EACCES) {
        if (probe >= 0) {
            close(probe);
        }
        GTEST_SKIP() << refused << " does not refuse a read-write open here";
    }
    QtCommControl comm;
    EXPECT_EQ(comm.Open(refused, "115200,N,8,1"), 0);
    EXPECT_EQ(comm.LastError(), CommError::PermissionDenied) << comm.LastErrorText();
    EXPECT_STREQ(ToString(comm.LastError()), "permission denied");
}

TEST_F(QtCommControlTest, PortHeldByAnotherControlIsBusy) {
    QtCommControl first;
    ASSERT_EQ(first.Open(path, "115200,N,8,1"), 1);
    QtCommControl second;
    EXPECT_EQ(second.Open(path, "115200,N,8,1"), 0);
    EXPECT_EQ(second.LastError(), CommError::Busy);
}

TEST_F(QtCommControlTest, PortLockedByAnotherOfOurToolsIsBusyEvenForRoot) {
    // Our tools lock the port (flock) besides TIOCEXCL, which root passes; a lock alone must
    // keep the window out.
    const int holder = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    QtCommControl comm;
    EXPECT_EQ(comm.Open(path, "115200,N,8,1"), 0);
    EXPECT_EQ(comm.LastError(), CommError::Busy);
    EXPECT_FALSE(comm.IsOpen());
    close(holder);

    // And the window's lock keeps the other tools out.
    ASSERT_EQ(comm.Open(path, "115200,N,8,1"), 1) << comm.LastErrorText();
    const int other = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (other >= 0) {
        EXPECT_NE(flock(other, LOCK_EX | LOCK_NB), 0);
        close(other);
    }
}

TEST_F(QtCommControlTest, DeviceOrFileThatIsNoSerialLineIsNotASerialPort) {
    const test::TempFolder folder;
    const std::string file = folder.PathOf("not_a_port.bin");
    folder.Write("not_a_port.bin", "firmware");
    for (const std::string& name : {std::string("/dev/null"), file}) {
        QtCommControl comm;
        EXPECT_EQ(comm.Open(name, "115200,N,8,1"), 0) << name;
        EXPECT_EQ(comm.LastError(), CommError::NotSerialPort)
            << name << ": " << comm.LastErrorText();
        EXPECT_FALSE(comm.IsOpen());
    }
}

TEST_F(QtCommControlTest, VanishedPortIsClosedAndNamedAsLost) {
    QtCommControl comm;
    ASSERT_EQ(comm.Open(path, "115200,N,8,1"), 1);
    close(master);
    master = -1;
    ASSERT_TRUE(PumpUntil([&] { return !comm.IsOpen(); }));
    EXPECT_EQ(comm.LastError(), CommError::DeviceLost);
}

TEST_F(QtCommControlTest, SecondOpenOfTheSameControlIsRefused) {
    QtCommControl comm;
    ASSERT_EQ(comm.Open(path, "115200,N,8,1"), 1);
    EXPECT_EQ(comm.Open(path, "9600,N,8,1"), 0);
    EXPECT_EQ(comm.LastError(), CommError::AlreadyOpen);
    EXPECT_TRUE(comm.IsOpen());
}

TEST_F(QtCommControlTest, BadSettingsOpenNothing) {
    QtCommControl comm;
    EXPECT_EQ(comm.Open(path, "fast,N,8,1"), 0);
    EXPECT_EQ(comm.LastError(), CommError::BadSettings);
    EXPECT_FALSE(comm.IsOpen());
}

TEST_F(QtCommControlTest, WriteWithoutAPortFails) {
    QtCommControl comm;
    const std::uint8_t byte = 0xA0;
    EXPECT_EQ(comm.Write(&byte, 1), 0);
    EXPECT_EQ(comm.LastError(), CommError::NotOpen);
}

}  // namespace
}  // namespace uhf

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
