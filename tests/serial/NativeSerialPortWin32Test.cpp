// The Win32 port over a driver that behaves as the WDK's serial driver documents
// (tests/fakes/FakeCommDriver.h): there a cancelled ReadFile loses the bytes it had taken, which
// Wine's serial code never does. The line's time-outs are proved against Wine's COM port in
// tests/wine/serial_port_test.py.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <random>
#include <thread>
#include <vector>

#include "fakes/FakeCommDriver.h"
#include "serial/NativeSerialPort.h"

namespace uhf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::FakeCommDriver;

LowLatencyMode& NoLatencyCheck() {
    static LowLatencyMode mode(nullptr, "");
    return mode;
}

// When the wake comes, relative to the bytes and to the read.
enum class WakeAt {
    WhileTheReadWaitsForItsFirstByte,  // then the bytes come, for the next read
    AfterTheBytesCameInTheGap,         // the read has taken some and waits for more
    BeforeTheReadWithBytesQueued,      // the wake and the bytes are there before the read
};

struct WakeCase {
    const char* name;
    WakeAt wakeAt;
};

void PrintTo(const WakeCase& c, std::ostream* out) {
    *out << c.name;
}

class WokenReadTest : public ::testing::TestWithParam<WakeCase> {};

TEST_P(WokenReadTest, LosesNoByteAndReturnsAtOnce) {
    FakeCommDriver driver;
    NativeSerialPort port(NoLatencyCheck(), driver);
    ASSERT_EQ(port.Open("COM3", 115200), SerialError::None);
    const Bytes sent{0xA0, 0x03, 0x65, 0x00, 0xF8};
    Bytes first(1900);  // a read that would otherwise last 2 s
    std::future<int> read;
    const auto startRead = [&] {
        read = std::async(std::launch::async,
                          [&] { return port.Read(first.data(), static_cast<int>(first.size())); });
    };

    switch (GetParam().wakeAt) {
        case WakeAt::WhileTheReadWaitsForItsFirstByte:
            startRead();
            ASSERT_TRUE(driver.WaitUntilPending());
            port.Wake();
            ASSERT_EQ(read.wait_for(std::chrono::seconds(1)), std::future_status::ready);
            driver.Deliver(sent);
            break;
        case WakeAt::AfterTheBytesCameInTheGap:
            startRead();
            ASSERT_TRUE(driver.WaitUntilPending());
            driver.Deliver(sent);
            // Pending again: the port has taken the bytes, or holds them in a pending read.
            ASSERT_TRUE(driver.WaitUntilPending());
            port.Wake();
            break;
        case WakeAt::BeforeTheReadWithBytesQueued:
            driver.Deliver(sent);
            port.Wake();
            startRead();
            break;
    }
    ASSERT_EQ(read.wait_for(std::chrono::seconds(1)), std::future_status::ready);
    const int got = read.get();
    ASSERT_GE(got, 0);
    Bytes received(first.begin(), first.begin() + got);
    Bytes rest(sent.size());
    const int more = port.Read(rest.data(), static_cast<int>(rest.size()) - got);
    ASSERT_GE(more, 0);
    received.insert(received.end(), rest.begin(), rest.begin() + more);

    EXPECT_EQ(received, sent);
    EXPECT_EQ(driver.LostBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Table, WokenReadTest,
    ::testing::Values(
        WakeCase{"WhileTheReadWaitsForItsFirstByte", WakeAt::WhileTheReadWaitsForItsFirstByte},
        WakeCase{"AfterTheBytesCameInTheGap", WakeAt::AfterTheBytesCameInTheGap},
        WakeCase{"BeforeTheReadWithBytesQueued", WakeAt::BeforeTheReadWithBytesQueued}),
    [](const ::testing::TestParamInfo<WakeCase>& info) { return info.param.name; });

// The tag collector's way: large reads, woken at any moment, while the reader streams.
TEST(WokenReadTest, AStreamWokenAtRandomArrivesWhole) {
    FakeCommDriver driver;
    NativeSerialPort port(NoLatencyCheck(), driver);
    ASSERT_EQ(port.Open("COM3", 115200), SerialError::None);
    Bytes sent(20000);
    std::mt19937 random(7);
    for (std::uint8_t& byte : sent) {
        byte = static_cast<std::uint8_t>(random());
    }
    std::atomic<bool> done{false};
    std::thread line([&] {
        std::mt19937 chunks(11);
        for (std::size_t at = 0; at < sent.size();) {
            const std::size_t n = std::min<std::size_t>(1 + chunks() % 40, sent.size() - at);
            const auto from = sent.begin() + static_cast<std::ptrdiff_t>(at);
            driver.Deliver(Bytes(from, from + static_cast<std::ptrdiff_t>(n)));
            at += n;
            std::this_thread::sleep_for(std::chrono::microseconds(chunks() % 300));
            // However slow the machine, the driver's queue never overruns.
            while (driver.Queued() > 1024) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    });
    std::thread waker([&] {
        std::mt19937 pauses(13);
        while (!done.load()) {
            port.Wake();
            std::this_thread::sleep_for(std::chrono::microseconds(pauses() % 500));
        }
    });
    Bytes received;
    Bytes buffer(2048);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (received.size() < sent.size() && std::chrono::steady_clock::now() < limit) {
        const int got = port.Read(buffer.data(), static_cast<int>(buffer.size()));
        if (got < 0) {
            ADD_FAILURE() << "the read failed";
            break;
        }
        received.insert(received.end(), buffer.begin(), buffer.begin() + got);
    }
    done = true;
    line.join();
    waker.join();

    EXPECT_EQ(driver.LostBytes(), 0u);
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

// Windows keeps an FTDI adapter's latency timer in its settings, which only the Device Manager
// changes: the first open of a port whose timer is above 1 ms says what that costs and how to
// set it, and nothing else does.
TEST(NativeSerialPortLatencyTest, TheFirstOpenOfASlowAdapterSaysHowToSetItsTimer) {
    LowLatencyMode mode([](const std::string& port) {
        return port == "COM3" ? 16 : port == "COM4" ? 1 : 0;
    });
    std::vector<std::string> said;
    mode.SetWarningSink([&said](const std::string& warning) { said.push_back(warning); });
    for (const char* name : {"COM3", "COM4", "COM5", "COM3"}) {
        FakeCommDriver driver;
        NativeSerialPort port(mode, driver);
        ASSERT_EQ(port.Open(name, 115200), SerialError::None) << name;
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0], LowLatencyMode::SlowDownloadWarning("COM3", 16));
    EXPECT_NE(said[0].find("up to 15.4 s longer (1024 acknowledged frames \u00d7 15 ms). Fix: in "
                           "the Device Manager, open COM3 under Ports (COM & LPT): Properties, "
                           "Port Settings, Advanced..., Latency Timer (msec) = 1"),
              std::string::npos)
        << said[0];
}

struct DriverCase {
    const char* name;
    FakeCommDriver::Driver driver;
    std::string port;
    std::string device;
    int baud;
};

void PrintTo(const DriverCase& c, std::ostream* out) {
    *out << c.name;
}

class NativeSerialPortOpenTest : public ::testing::TestWithParam<DriverCase> {};

// Every line setting the reader needs, on drivers of every buffer size, with the driver's own
// XonLim and XoffLim: a driver refuses the whole SetCommState for one above its buffer.
TEST_P(NativeSerialPortOpenTest, SetsTheLineAndKeepsTheDriversXonXoffLimits) {
    const DriverCase& c = GetParam();
    FakeCommDriver driver(c.driver);
    NativeSerialPort port(NoLatencyCheck(), driver);
    ASSERT_EQ(port.Open(c.port, c.baud), SerialError::None);

    EXPECT_EQ(driver.OpenedName(), c.device);
    EXPECT_EQ(driver.OpenFlags(), static_cast<DWORD>(FILE_FLAG_OVERLAPPED));
    const DCB dcb = driver.State();
    EXPECT_EQ(dcb.BaudRate, static_cast<DWORD>(c.baud));
    EXPECT_EQ(std::vector<int>({dcb.ByteSize, dcb.Parity, dcb.StopBits}),
              std::vector<int>({8, NOPARITY, ONESTOPBIT}));
    // fBinary, fParity, the flow controls, fNull, fAbortOnError; DTR and RTS on.
    EXPECT_EQ(
        std::vector<unsigned>({dcb.fBinary, dcb.fParity, dcb.fOutxCtsFlow, dcb.fOutxDsrFlow,
                               dcb.fDsrSensitivity, dcb.fTXContinueOnXoff, dcb.fOutX, dcb.fInX,
                               dcb.fNull, dcb.fAbortOnError, dcb.fDtrControl, dcb.fRtsControl}),
        std::vector<unsigned>(
            {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, DTR_CONTROL_ENABLE, RTS_CONTROL_ENABLE}));
    EXPECT_EQ(std::vector<int>({dcb.XonLim, dcb.XoffLim}),
              std::vector<int>({c.driver.xonLim, c.driver.xoffLim}));
    EXPECT_EQ(std::vector<int>({dcb.XonChar, dcb.XoffChar, dcb.EofChar, dcb.EvtChar}),
              std::vector<int>({0x11, 0x13, 0x1A, 0}));
    const COMMTIMEOUTS t = driver.Timeouts();
    EXPECT_EQ(std::vector<DWORD>({t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier,
                                  t.ReadTotalTimeoutConstant, t.WriteTotalTimeoutMultiplier,
                                  t.WriteTotalTimeoutConstant}),
              std::vector<DWORD>({50, 1, 100, 10, 100}));
    EXPECT_EQ(driver.EventMask(), static_cast<DWORD>(EV_RXCHAR));

    // A read of k bytes ends once k are there; the write reaches the line whole.
    driver.Deliver({1, 2, 3});
    Bytes three(3);
    EXPECT_EQ(port.Read(three.data(), 3), 3);
    EXPECT_EQ(three, Bytes({1, 2, 3}));
    const Bytes request{0xA0, 0x03, 0xFE, 0x00, 0x5F};
    EXPECT_EQ(port.Write(request.data(), 5), 5);
    EXPECT_EQ(driver.Written(), request);
    port.Close();
    EXPECT_FALSE(driver.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Table, NativeSerialPortOpenTest,
    ::testing::Values(
        DriverCase{"UsbAdapterWith1KBuffer", {1024, 256, 256}, "COM3", "COM3", 115200},
        DriverCase{"LimitsAtTheWholeBuffer", {512, 512, 512}, "COM9", "COM9", 9600},
        DriverCase{"BuiltInUart", {4096, 2048, 512}, "COM12", "\\\\.\\COM12", 57600}),
    [](const ::testing::TestParamInfo<DriverCase>& info) { return info.param.name; });

}  // namespace
}  // namespace uhf
