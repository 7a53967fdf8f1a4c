#include "cli/LinkDoctor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "fakes/FakeSerialPort.h"
#include "fakes/TempFolder.h"

namespace uhf {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A fake /proc and usb-serial tree, and ports that open as the test says.
class LinkDoctorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(root / "proc");
        env.procRoot = (root / "proc").string();
        env.usbSerialDir = (root / "usb-serial").string();
        env.listPorts = [] {
            PortInfo usb;
            usb.path = "/dev/ttyUSB0";
            return std::vector<PortInfo>{usb};
        };
        env.groupName = [](unsigned gid) { return gid == kDialout ? "dialout" : ""; };
        env.makePort = [this] {
            auto port = std::make_unique<test::FakeSerialPort>();
            port->openResult = openResult;
            if (echo) {
                port->SetResponder([](const test::FakeSerialPort::Bytes& written) {
                    return std::vector<test::FakeSerialPort::Bytes>{written};
                });
            }
            return port;
        };
        env.ownPid = 400;
    }

    void AddProcess(long pid, const std::string& comm, const std::string& openFile = "") {
        const fs::path folder = root / "proc" / std::to_string(pid);
        fs::create_directories(folder / "fd");
        std::ofstream(folder / "comm") << comm << "\n";
        fs::create_symlink("/dev/null", folder / "fd" / "0");
        if (!openFile.empty()) {
            fs::create_symlink(openFile, folder / "fd" / "3");
        }
    }

    static constexpr unsigned kDialout = 20;
    const test::TempFolder temp;
    const fs::path root = temp.Path();
    LinkDoctor::Environment env;
    SerialError openResult = SerialError::None;
    bool echo = false;
};

TEST_F(LinkDoctorTest, BusyPortNamesItsHolderThenTheProgramsThatGrabAdapters) {
    AddProcess(100, "ModemManager");
    AddProcess(200, "brltty");
    AddProcess(300, "minicom", "/dev/ttyUSB0");
    AddProcess(400, "tesmarle-cli", "/dev/ttyUSB0");  // the doctor itself
    openResult = SerialError::Busy;

    const PortDiagnosis d = LinkDoctor(env).Examine("/dev/ttyUSB0");
    ASSERT_EQ(d.holders.size(), 1u);
    EXPECT_EQ(d.holders[0].pid, 300);
    ASSERT_EQ(d.findings.size(), 3u);
    EXPECT_EQ(d.findings[0],
              "busy: /dev/ttyUSB0 is held by process 300 (minicom); close it there first");
    EXPECT_THAT(d.findings[1], HasSubstr("ModemManager is running (process 100)"));
    EXPECT_THAT(d.findings[2], HasSubstr("brltty is running (process 200)"));
    EXPECT_FALSE(d.mode.has_value());
    EXPECT_THAT(LinkDoctor::FormatJson({d}, LinkDoctor(env).FindGrabbers()),
                HasSubstr("\"holders\": [{\"pid\": 300, \"name\": \"minicom\"}]"));
}

TEST_F(LinkDoctorTest, PermissionNamesTheOwningGroupAndWhetherTheUserIsInIt) {
    const std::string device = (root / "ttyUSB0").string();
    std::ofstream(device) << "";
    struct stat info {};
    ASSERT_EQ(::stat(device.c_str(), &info), 0);
    env.groupName = [gid = static_cast<unsigned>(info.st_gid)](unsigned asked) {
        return asked == gid ? "dialout" : "";
    };
    openResult = SerialError::PermissionDenied;

    env.userGroups = [] { return std::vector<unsigned>{12345}; };
    const PortDiagnosis outside = LinkDoctor(env).Examine(device);
    EXPECT_EQ(outside.group, "dialout");
    EXPECT_EQ(outside.userInGroup, false);
    EXPECT_THAT(outside.findings, ElementsAre("permission: " + device +
                                              " belongs to group dialout, and this user is not "
                                              "in it. Add the user to it with: sudo usermod -aG "
                                              "dialout $USER (then log out and in again)"));

    env.userGroups = [gid = static_cast<unsigned>(info.st_gid)] {
        return std::vector<unsigned>{12345, gid};
    };
    const PortDiagnosis inside = LinkDoctor(env).Examine(device);
    EXPECT_EQ(inside.userInGroup, true);
    ASSERT_EQ(inside.findings.size(), 1u);
    EXPECT_THAT(inside.findings[0], HasSubstr("this user is in group dialout"));
}

// A line that returns what is sent answers every probe with the probe itself; no reader is
// there. The latency timer is read from the adapter's usb-serial folder.
TEST_F(LinkDoctorTest, EchoingLineIsNoReaderAndASlowLatencyTimerIsSaid) {
    echo = true;
    fs::create_directories(root / "usb-serial" / "ttyUSB0");
    std::ofstream(root / "usb-serial" / "ttyUSB0" / "latency_timer") << "16\n";

    const PortDiagnosis d = LinkDoctor(env).Examine("/dev/ttyUSB0");
    EXPECT_FALSE(d.mode.has_value());
    EXPECT_TRUE(d.echo);
    EXPECT_EQ(d.latencyTimerMs, 16);
    ASSERT_EQ(d.findings.size(), 2u);
    EXPECT_THAT(d.findings[0], HasSubstr("latency timer: ttyUSB0: the USB adapter's latency "
                                         "timer is 16 ms"));
    EXPECT_THAT(d.findings[1], HasSubstr("the line sends back what is sent"));
    const std::string json = LinkDoctor::FormatJson({d}, {});
    EXPECT_THAT(json, HasSubstr("\"answered\": false"));
    EXPECT_THAT(json, HasSubstr("\"latencyTimerMs\": 16"));
}

TEST_F(LinkDoctorTest, MissingPortNamesThePortsThatAreThere) {
    openResult = SerialError::NoSuchDevice;
    AddProcess(100, "ModemManager");
    const PortDiagnosis d = LinkDoctor(env).Examine("/dev/serial/by-id/usb-FTDI_gone");
    EXPECT_TRUE(d.missing);
    ASSERT_EQ(d.findings.size(), 2u);
    EXPECT_EQ(d.findings[0],
              "device missing: /dev/serial/by-id/usb-FTDI_gone does not exist (the ports there "
              "are: /dev/ttyUSB0)");
    EXPECT_THAT(d.findings[1], HasSubstr("ModemManager is running"));
}

}  // namespace
}  // namespace uhf
