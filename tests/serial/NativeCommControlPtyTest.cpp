// NativeCommControl on a real pseudo-terminal: the rate reaches the line, queued bytes leave
// together and in order, arrivals come to the handler on the owner's thread and only through
// ProcessPending, and a port that cannot be opened, or that vanishes, says why. On a fake port:
// an open that the driver holds leaves the owner's thread free, and a close abandons it.
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeSerialPort.h"
#include "fakes/PtyPair.h"
#include "fakes/TempFolder.h"
#include "serial/NativeCommControl.h"
#include "serial/NativeSerialPort.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Runs the owner's loop, as an event loop that polls would, until `told` holds a value (or 3 s
// have passed).
void ProcessUntilTold(NativeCommControl& comm, const std::optional<SerialError>& told) {
    const auto deadline = Clock::now() + std::chrono::seconds(3);
    while (!told && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        comm.ProcessPending();
    }
}

// Opens as the transfer does: how it went, once the control says (nothing after 3 s).
std::optional<SerialError> OpenNow(NativeCommControl& comm, const std::string& name, int rate) {
    std::optional<SerialError> result;
    comm.Open(name, rate, [&result](SerialError error) { result = error; });
    ProcessUntilTold(comm, result);
    return result;
}

// The owner's side of the control: counts notices from any thread and lets the test wait for
// one, then process on its own thread as an event loop would.
class NativeCommControlPty : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(pty.Ok()) << "openpty failed"; }

    // Processes pending work whenever a notice came, until `done` holds (false after 3 s).
    bool ProcessUntil(const std::function<bool()>& done) {
        const auto deadline = Clock::now() + std::chrono::seconds(3);
        while (!done()) {
            std::unique_lock<std::mutex> lock(mutex);
            if (!noticed.wait_until(lock, deadline, [this] { return notices > 0; })) {
                return false;
            }
            notices = 0;
            lock.unlock();
            comm.ProcessPending();
        }
        return true;
    }

    Bytes MasterRead(std::size_t count) {
        Bytes got;
        pollfd p{pty.master, POLLIN, 0};
        while (got.size() < count && poll(&p, 1, 2000) > 0) {
            std::array<std::uint8_t, 256> buffer{};
            const ssize_t n = read(pty.master, buffer.data(), buffer.size());
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer.begin(), buffer.begin() + n);
        }
        return got;
    }

    test::PtyPair pty;
    std::mutex mutex;
    std::condition_variable noticed;
    int notices = 0;
    NativeSerialPort port;
    NativeCommControl comm{port, [this] {
                               {
                                   std::lock_guard<std::mutex> lock(mutex);
                                   ++notices;
                               }
                               noticed.notify_one();
                           }};
};

TEST_F(NativeCommControlPty, OpensAtTheRateOnAn8N1LineAndRefusesASecondOpen) {
    ASSERT_EQ(OpenNow(comm, pty.slavePath, 57600), SerialError::None);
    termios line{};
    ASSERT_EQ(tcgetattr(pty.slave, &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B57600));
    EXPECT_EQ(line.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(OpenNow(comm, pty.slavePath, 9600), SerialError::AlreadyOpen);
    EXPECT_EQ(comm.LastError(), SerialError::AlreadyOpen);
    EXPECT_TRUE(comm.IsOpen()) << "the port it had stays open";
    comm.Close();
    EXPECT_FALSE(comm.IsOpen());

    ASSERT_EQ(OpenNow(comm, pty.slavePath, 9600), SerialError::None);
    ASSERT_EQ(tcgetattr(pty.slave, &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(comm.LastError(), SerialError::None);
}

TEST_F(NativeCommControlPty, BytesWrittenInOneTurnLeaveTogetherInOrder) {
    ASSERT_EQ(OpenNow(comm, pty.slavePath, 115200), SerialError::None);
    const Bytes probe{0xA0, 0x03, 0x69, 0x00, 0xF4};
    const Bytes alternate{0x52, 0x46, 0x00, 0x00, 0x00, 0xF4, 0x00, 0x00, 0x74};
    ASSERT_TRUE(comm.Write(probe.data(), static_cast<int>(probe.size())));
    ASSERT_TRUE(comm.Write(alternate.data(), static_cast<int>(alternate.size())));
    pollfd p{pty.master, POLLIN, 0};
    EXPECT_EQ(poll(&p, 1, 0), 0) << "nothing leaves before the owner's turn ends";
    comm.ProcessPending();
    Bytes expected = probe;
    expected.insert(expected.end(), alternate.begin(), alternate.end());
    EXPECT_EQ(MasterRead(expected.size()), expected);
}

TEST_F(NativeCommControlPty, ArrivalsReachTheHandlerOnTheOwnersThreadOnly) {
    ASSERT_EQ(OpenNow(comm, pty.slavePath, 115200), SerialError::None);
    Bytes received;
    bool onOwnerThread = true;
    const auto owner = std::this_thread::get_id();
    comm.SetReceiveHandler([&](const std::uint8_t* bytes, int count) {
        onOwnerThread = onOwnerThread && std::this_thread::get_id() == owner;
        received.insert(received.end(), bytes, bytes + count);
    });
    // Fewer than five bytes are delivered too.
    const Bytes part1{0xE4, 0x03};
    ASSERT_EQ(write(pty.master, part1.data(), part1.size()), 2);
    ASSERT_TRUE(ProcessUntil([&] { return received.size() == 2; }));
    const Bytes part2{0x69, 0x00, 0xB0};
    ASSERT_EQ(write(pty.master, part2.data(), part2.size()), 3);
    ASSERT_TRUE(ProcessUntil([&] { return received.size() == 5; }));
    EXPECT_EQ(received, (Bytes{0xE4, 0x03, 0x69, 0x00, 0xB0}));
    EXPECT_TRUE(onOwnerThread);
}

TEST_F(NativeCommControlPty, BytesThatArrivedBeforeACloseAreNotDeliveredAfterTheReopen) {
    ASSERT_EQ(OpenNow(comm, pty.slavePath, 115200), SerialError::None);
    Bytes received;
    comm.SetReceiveHandler([&](const std::uint8_t* bytes, int count) {
        received.insert(received.end(), bytes, bytes + count);
    });
    const Bytes stale{0xE4, 0x03, 0x69};
    ASSERT_EQ(write(pty.master, stale.data(), stale.size()), 3);
    {
        // The receive thread has taken them once a notice came for each.
        std::unique_lock<std::mutex> lock(mutex);
        ASSERT_TRUE(
            noticed.wait_for(lock, std::chrono::seconds(3), [this] { return notices >= 3; }));
    }
    comm.Close();
    ASSERT_EQ(OpenNow(comm, pty.slavePath, 9600), SerialError::None);
    comm.ProcessPending();
    EXPECT_TRUE(received.empty());
}

TEST_F(NativeCommControlPty, VanishedPortIsClosedAndNamedAsLost) {
    ASSERT_EQ(OpenNow(comm, pty.slavePath, 115200), SerialError::None);
    close(pty.master);
    pty.master = -1;
    ASSERT_TRUE(ProcessUntil([&] { return !comm.IsOpen(); }));
    EXPECT_EQ(comm.LastError(), SerialError::DeviceLost);
    EXPECT_EQ(ToString(comm.LastError()), "the device was lost");
    const std::uint8_t byte = 0xA0;
    EXPECT_FALSE(comm.Write(&byte, 1));
    EXPECT_EQ(comm.LastError(), SerialError::NotOpen);
}

TEST_F(NativeCommControlPty, PortHeldByAnotherControlIsBusy) {
    ASSERT_EQ(OpenNow(comm, pty.slavePath, 115200), SerialError::None);
    NativeSerialPort otherPort;
    NativeCommControl other(otherPort, [] {});
    EXPECT_EQ(OpenNow(other, pty.slavePath, 115200), SerialError::Busy);
    EXPECT_EQ(other.LastError(), SerialError::Busy);
    EXPECT_FALSE(other.IsOpen());
}

TEST_F(NativeCommControlPty, PortThatCannotBeOpenedSaysWhyAndStaysClosed) {
    const test::TempFolder folder;
    folder.Write("not_a_port", "firmware");
    const struct {
        std::string path;
        int baudRate;
        SerialError error;
        std::string text;  // what the window's and ferrowin-cli's "Reason:" line says
    } cases[] = {
        {"/dev/no-such-reader-port", 115200, SerialError::NoSuchDevice, "no such device"},
        {"/dev/null", 115200, SerialError::NotATerminal, "the device is not a serial port"},
        {folder.PathOf("not_a_port"), 115200, SerialError::NotATerminal,
         "the device is not a serial port"},
        {pty.slavePath, 12345, SerialError::SettingsRefused, "the port refused the line settings"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(OpenNow(comm, c.path, c.baudRate), c.error);
        EXPECT_EQ(comm.LastError(), c.error);
        EXPECT_EQ(ToString(c.error), c.text);
        EXPECT_FALSE(comm.IsOpen());
        const std::uint8_t byte = 0xA0;
        EXPECT_FALSE(comm.Write(&byte, 1));
        EXPECT_EQ(comm.LastError(), SerialError::NotOpen);
    }
}

TEST(NativeCommControl, CloseWakesTheReceiveThreadInsteadOfWaitingOutItsRead) {
    test::FakeSerialPort port;
    // A read that nothing ends but a wake (or this long).
    port.SetEmptyReadWait(std::chrono::seconds(10));
    NativeCommControl comm(port, [] {});
    ASSERT_EQ(OpenNow(comm, "ttyFAKE", 115200), SerialError::None);
    ASSERT_TRUE(port.WaitUntilReading(std::chrono::seconds(3)));
    const Clock::time_point start = Clock::now();
    comm.Close();
    // Loose: catches a close that waits out the read.
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_GE(port.WokenReads(), 1);
    EXPECT_FALSE(comm.IsOpen());
}

TEST(NativeCommControl, AnOpenTheDriverHoldsLeavesTheOwnerFreeAndACloseAbandonsIt) {
    test::FakeSerialPort port;
    NativeCommControl comm(port, [] {});
    std::vector<std::optional<SerialError>> told(3);
    port.HoldOpens();
    comm.Open("rfcomm0", 115200, [&](SerialError error) { told[0] = error; });
    // Open returned while the driver holds the port: the owner's loop goes on.
    ASSERT_TRUE(port.WaitUntilOpenHeld(std::chrono::seconds(3)));
    comm.ProcessPending();
    EXPECT_FALSE(comm.IsOpen());
    const std::uint8_t byte = 0xA0;
    EXPECT_FALSE(comm.Write(&byte, 1)) << "nothing is sent before the port has opened";
    // A second open while one is under way is refused, at the owner's next turn.
    comm.Open("rfcomm0", 9600, [&](SerialError error) { told[1] = error; });
    comm.ProcessPending();
    EXPECT_EQ(told[1], SerialError::AlreadyOpen);

    // Exist: the open is abandoned; an open asked for meanwhile waits for the driver.
    comm.Close();
    comm.Open("rfcomm0", 9600, [&](SerialError error) { told[2] = error; });
    port.ReleaseOpens();
    ProcessUntilTold(comm, told[2]);
    EXPECT_EQ(told[0], std::nullopt) << "an abandoned open is never reported";
    EXPECT_EQ(told[2], SerialError::None);
    EXPECT_TRUE(comm.IsOpen());
    EXPECT_EQ(port.openCalls, 2);
    EXPECT_EQ(port.openedBaud, 9600);
}

TEST(NativeCommControl, GoingAwayDuringAHeldOpenWaitsForItAndClosesWhatItOpened) {
    test::FakeSerialPort port;
    bool told = false;
    std::thread driver;
    {
        NativeCommControl comm(port, [] {});
        port.HoldOpens();
        comm.Open("rfcomm0", 115200, [&](SerialError) { told = true; });
        ASSERT_TRUE(port.WaitUntilOpenHeld(std::chrono::seconds(3)));
        driver = std::thread([&port] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            port.ReleaseOpens();
        });
    }
    driver.join();
    EXPECT_EQ(port.openCalls, 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(told);
}

}  // namespace
}  // namespace uhf
