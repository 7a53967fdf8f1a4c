// The native serial control as the Qt window hosts it, on a pseudo-terminal: the open's outcome,
// written bytes and arrivals are handled when the window's event loop turns, on the window's
// thread, and calls still queued when the control goes are dropped with it.
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QCoreApplication>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fakes/PtyPair.h"
#include "fakes/QtWaitFor.h"
#include "ferrowin/qt/QtCommControl.h"
#include "serial/NativeSerialPort.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Opens as the transfer does and lets the event loop turn until the outcome is told.
std::optional<SerialError> OpenNow(
    QtCommControl& comm, const std::string& path, const std::function<void()>& onTold = [] {}) {
    std::optional<SerialError> told;
    comm.Open(path, 115200, [&](SerialError error) {
        told = error;
        onTold();
    });
    test::WaitFor([&] { return told.has_value(); });
    return told;
}

Bytes ReadAvailable(int fd) {
    Bytes got;
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 0) > 0) {
        std::array<std::uint8_t, 256> buffer{};
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n <= 0) {
            break;
        }
        got.insert(got.end(), buffer.begin(), buffer.begin() + n);
    }
    return got;
}

TEST(QtCommControl, WritesAndArrivalsAreHandledByTheWindowsEventLoopOnItsThread) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    NativeSerialPort port;
    QtCommControl comm(port);
    Bytes received;
    bool onWindowThread = true;
    const auto window = std::this_thread::get_id();
    comm.SetReceiveHandler([&](const std::uint8_t* bytes, int count) {
        onWindowThread = onWindowThread && std::this_thread::get_id() == window;
        received.insert(received.end(), bytes, bytes + count);
    });
    ASSERT_EQ(
        OpenNow(comm, pty.slavePath,
                [&] { onWindowThread = onWindowThread && std::this_thread::get_id() == window; }),
        SerialError::None);

    const Bytes probe{0xA0, 0x03, 0x69, 0x00, 0xF4};
    ASSERT_TRUE(comm.Write(probe.data(), static_cast<int>(probe.size())));
    const Bytes answer{0xE4, 0x03, 0x69, 0x00, 0xB0};
    ASSERT_EQ(write(pty.master, answer.data(), answer.size()), 5);
    // The receive thread has the answer soon; without the loop nobody hears of it.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(ReadAvailable(pty.master).empty()) << "the write leaves when the loop turns";

    Bytes sent;
    EXPECT_TRUE(test::WaitFor([&] {
        const Bytes more = ReadAvailable(pty.master);
        sent.insert(sent.end(), more.begin(), more.end());
        return received.size() == answer.size() && sent.size() == probe.size();
    }));
    EXPECT_EQ(received, answer);
    EXPECT_EQ(sent, probe);
    EXPECT_TRUE(onWindowThread);
}

TEST(QtCommControl, CallsStillQueuedWhenTheControlGoesAreDropped) {
    test::PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    NativeSerialPort port;
    int deliveries = 0;
    {
        QtCommControl comm(port);
        comm.SetReceiveHandler([&](const std::uint8_t*, int) { ++deliveries; });
        ASSERT_EQ(OpenNow(comm, pty.slavePath), SerialError::None);
        const Bytes answer{0xE4, 0x03, 0x69, 0x00, 0xB0};
        ASSERT_EQ(write(pty.master, answer.data(), answer.size()), 5);
        // Notices queue up meanwhile, one per byte the receive thread takes.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // A queued call that outlived the control would run on a destroyed object here.
    QCoreApplication::processEvents();
    EXPECT_EQ(deliveries, 0);
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace uhf
