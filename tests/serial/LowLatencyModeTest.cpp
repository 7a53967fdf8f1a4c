#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "fakes/FakeSysfs.h"
#include "fakes/TempFolder.h"
#include "serial/LowLatencyMode.h"

namespace uhf {
namespace {

namespace fs = std::filesystem;

// One ioctl call as the driver saw it.
struct Call {
    unsigned long request;
    int flags;
    int baudBase;
    bool operator==(const Call&) const = default;
};

void PrintTo(const Call& call, std::ostream* out) {
    *out << (call.request == TIOCGSERIAL   ? "GET"
             : call.request == TIOCSSERIAL ? "SET"
                                           : "?")
         << " flags=" << call.flags << " baud_base=" << call.baudBase;
}

// A driver that answers TIOCGSERIAL with `flags` (or getError) and takes or refuses
// TIOCSSERIAL.
struct FakeDriver {
    int flags = ASYNC_SKIP_TEST;
    int getError = 0;
    int setError = 0;
    std::vector<Call> calls;

    LowLatencyMode::Ioctl Ioctl() {
        return [this](int fd, unsigned long request, void* argument) {
            EXPECT_EQ(fd, 7);
            auto* serial = static_cast<serial_struct*>(argument);
            if (request == TIOCGSERIAL && getError == 0) {
                *serial = serial_struct{};
                serial->flags = flags;
                serial->baud_base = 24000000;
            }
            calls.push_back({request, serial->flags, serial->baud_base});
            const int error = request == TIOCGSERIAL ? getError : setError;
            errno = error;
            return error == 0 ? 0 : -1;
        };
    }
};

struct LatencyCase {
    const char* name;
    int adapter;  // index into BenchAdapters(); -1 for a port with no usb-serial folder
    int flags;
    int getError;
    int setError;
    int timerMs;  // the adapter's latency_timer after the request; -1: none
    std::vector<Call> calls;
    std::string warning;
};

void PrintTo(const LatencyCase& c, std::ostream* out) {
    *out << c.name;
}

const int kSkip = ASYNC_SKIP_TEST;
const int kLow = ASYNC_LOW_LATENCY;
const Call kGet{TIOCGSERIAL, kSkip, 24000000};
const Call kGetLow{TIOCGSERIAL, kSkip | kLow, 24000000};
const Call kSetLow{TIOCSSERIAL, kSkip | kLow, 24000000};
const Call kGetRefused{TIOCGSERIAL, 0, 0};

class LowLatencyModeTest : public ::testing::TestWithParam<LatencyCase> {
  protected:
    test::TempFolder folder;
    test::FakeSysfs sysfs{folder.Path()};
};

TEST_P(LowLatencyModeTest, AsksTheDriverAndWarnsOnlyWhenTheTimerStaysAbove1Ms) {
    const LatencyCase& c = GetParam();
    std::string device = "/dev/ttyS0";
    if (c.adapter >= 0) {
        test::FakeUsbAdapter adapter = test::BenchAdapters()[static_cast<std::size_t>(c.adapter)];
        adapter.latencyTimerMs = c.timerMs;
        sysfs.AddUsbAdapter(adapter);
        device = "/dev/" + adapter.tty;
    }
    FakeDriver driver{c.flags | kSkip, c.getError, c.setError, {}};
    LowLatencyMode mode(driver.Ioctl(), sysfs.UsbSerialDevices().string());
    std::vector<std::string> said;
    mode.SetWarningSink([&](const std::string& line) { said.push_back(line); });

    EXPECT_EQ(mode.Request(7, device), c.warning);
    EXPECT_EQ(driver.calls, c.calls);
    EXPECT_EQ(said.size(), c.warning.empty() ? 0u : 1u);

    // Said once: a reopen (the download reopens the port at its own rate) stays quiet.
    EXPECT_EQ(mode.Request(7, device), "");
    EXPECT_EQ(said.size(), c.warning.empty() ? 0u : 1u);
}

const std::string kFtdiWarning =
    "ttyUSB0: the USB adapter's latency timer is 16 ms and its driver did not switch to "
    "low-latency mode, so a firmware download takes up to 15.4 s longer (1024 acknowledged "
    "frames \u00d7 15 ms). Fix: the udev rule in the README, or for now: echo 1 | sudo tee "
    "/sys/bus/usb-serial/devices/ttyUSB0/latency_timer";

INSTANTIATE_TEST_SUITE_P(
    Table, LowLatencyModeTest,
    ::testing::Values(
        LatencyCase{"FtdiSwitchesTo1Ms", 0, 0, 0, 0, 1, {kGet, kSetLow}, ""},
        LatencyCase{"FtdiAlreadyLow", 0, kLow, 0, 0, 1, {kGetLow}, ""},
        LatencyCase{"FtdiRefuses", 0, 0, 0, EPERM, 16, {kGet, kSetLow}, kFtdiWarning},
        LatencyCase{"FtdiRefusesAt1Ms", 0, 0, 0, EPERM, 1, {kGet, kSetLow}, ""},
        LatencyCase{"FtdiTakesButKeepsItsTimer", 0, 0, 0, 0, 16, {kGet, kSetLow}, kFtdiWarning},
        LatencyCase{"Cp210xHasNoTimer", 1, 0, 0, EINVAL, -1, {kGet, kSetLow}, ""},
        LatencyCase{"Ch340HasNoTimer", 2, 0, 0, 0, -1, {kGet, kSetLow}, ""},
        LatencyCase{"PseudoTerminalOrBuiltInUart", -1, 0, ENOTTY, 0, -1, {kGetRefused}, ""}),
    [](const ::testing::TestParamInfo<LatencyCase>& info) { return info.param.name; });

TEST(LowLatencyWarningTest, CountsTheTimerAbove1MsForEveryAcknowledgedFrame) {
    const std::string warning = LowLatencyMode::SlowDownloadWarning("ttyUSB3", 2);
    EXPECT_NE(warning.find("takes up to 1.0 s longer (1024 acknowledged frames \u00d7 1 ms)"),
              std::string::npos)
        << warning;
}

}  // namespace
}  // namespace uhf
