#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempFolder.h"
#include "common/PortConfig.h"
#include "common/PortEnumerator.h"
#include "common/SysfsPortScanner.h"

namespace uhf {
namespace {

namespace fs = std::filesystem;

// A fake /sys: devices/ holds the device folders, class/tty/ the entries linking to them, as
// the kernel lays them out.
class FakeSysfs {
  public:
    explicit FakeSysfs(const test::TempFolder& folder)
        : root(folder.PathOf("sys")), classDir(root / "class" / "tty") {
        fs::create_directories(classDir);
        fs::create_directories(root / "bus" / "platform" / "drivers" / "serial8250");
        fs::create_directories(root / "bus" / "usb-serial" / "drivers" / "ftdi_sio");
    }

    // A tty with no device behind it (virtual terminal, console, pseudo-terminal master).
    void AddVirtual(const std::string& name) {
        fs::path dir = root / "devices" / "virtual" / "tty" / name;
        fs::create_directories(dir);
        fs::create_directory_symlink(dir, classDir / name);
    }

    // A tty with a device; type < 0 leaves the "type" attribute out.
    void AddDevice(const std::string& name, int type, const std::string& driver) {
        fs::path device = root / "devices" / ("dev-" + name);
        fs::path tty = device / "tty" / name;
        fs::create_directories(tty);
        fs::create_directory_symlink(root / "bus" / driver, device / "driver");
        fs::create_directory_symlink(device, tty / "device");
        if (type >= 0) {
            test::TempFolder::WriteFile(tty / "type", std::to_string(type) + "\n");
        }
        fs::create_directory_symlink(tty, classDir / name);
    }

    std::string ClassDir() const { return classDir.string(); }

  private:
    fs::path root;
    fs::path classDir;
};

class SysfsPortScannerTest : public ::testing::Test {
  protected:
    test::TempFolder folder;
    FakeSysfs sysfs{folder};
};

TEST_F(SysfsPortScannerTest, ListsRealPortsInNaturalOrderAsDevicePaths) {
    // Created out of order: the result must not depend on the directory's order.
    sysfs.AddDevice("ttyUSB10", -1, "usb-serial/drivers/ftdi_sio");
    sysfs.AddVirtual("tty0");
    sysfs.AddDevice("ttyS1", 4, "platform/drivers/serial8250");
    sysfs.AddVirtual("console");
    sysfs.AddDevice("ttyUSB2", -1, "usb-serial/drivers/ftdi_sio");
    sysfs.AddDevice("ttyACM0", -1, "usb-serial/drivers/ftdi_sio");
    sysfs.AddVirtual("ptmx");
    sysfs.AddDevice("ttyS0", 4, "platform/drivers/serial8250");
    sysfs.AddDevice("ttyUSB0", -1, "usb-serial/drivers/ftdi_sio");
    sysfs.AddDevice("ttyS10", 4, "platform/drivers/serial8250");

    SysfsPortScanner scanner(sysfs.ClassDir(), "/dev/");
    EXPECT_EQ(scanner.Scan(),
              (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS10",
                                        "/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10"}));
}

TEST_F(SysfsPortScannerTest, LeavesOutSerialPortsWithoutAUartBehindThem) {
    sysfs.AddDevice("ttyS0", 4, "platform/drivers/serial8250");    // a 16550A
    sysfs.AddDevice("ttyS1", 0, "platform/drivers/serial8250");    // placeholder: type unknown
    sysfs.AddDevice("ttyS2", -1, "platform/drivers/serial8250");   // placeholder, no type
    sysfs.AddDevice("ttyS3", -1, "usb-serial/drivers/ftdi_sio");   // no type, a real driver
    sysfs.AddDevice("ttyAMA0", 0, "platform/drivers/serial8250");  // any serial core port

    EXPECT_EQ(SysfsPortScanner(sysfs.ClassDir(), "/dev/").Scan(),
              (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS3"}));
}

TEST_F(SysfsPortScannerTest, TurnsTheKernelsBangBackIntoASlash) {
    sysfs.AddDevice("serial!port0", -1, "usb-serial/drivers/ftdi_sio");
    EXPECT_EQ(SysfsPortScanner(sysfs.ClassDir(), "/dev/").Scan(),
              (std::vector<std::string>{"/dev/serial/port0"}));
}

TEST_F(SysfsPortScannerTest, MissingTreeGivesNoPortsAndListPortsFails) {
    SysfsPortScanner scanner(folder.PathOf("no-sys/class/tty"), "/dev/");
    EXPECT_TRUE(scanner.Scan().empty());

    PortConfig config(folder.Dir(), [&] { return scanner.Scan(); });
    std::vector<std::string> ports{"stale"};
    EXPECT_FALSE(config.ListPorts(ports));
    EXPECT_TRUE(ports.empty());
}

TEST_F(SysfsPortScannerTest, ListPortsGivesTheScannersOrderUnchanged) {
    sysfs.AddDevice("ttyUSB1", -1, "usb-serial/drivers/ftdi_sio");
    sysfs.AddDevice("ttyS0", 4, "platform/drivers/serial8250");
    SysfsPortScanner scanner(sysfs.ClassDir(), "/dev/");
    PortConfig config(folder.Dir(), [&] { return scanner.Scan(); });
    std::vector<std::string> ports;
    EXPECT_TRUE(config.ListPorts(ports));
    EXPECT_EQ(ports, (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyUSB1"}));
}

TEST(SysfsPortScannerSystemTest, EveryListedPortOfThisMachineHasADevice) {
    for (const std::string& port : SysfsPortScanner().Scan()) {
        ASSERT_EQ(port.rfind("/dev/", 0), 0u) << port;
        fs::path entry = fs::path("/sys/class/tty") / port.substr(5);
        EXPECT_TRUE(fs::exists(entry / "device")) << port;
    }
}

struct OrderCase {
    std::string less;
    std::string more;
};

class NaturalLessTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(NaturalLessTest, OrdersDigitRunsAsNumbers) {
    EXPECT_TRUE(SysfsPortScanner::NaturalLess(GetParam().less, GetParam().more));
    EXPECT_FALSE(SysfsPortScanner::NaturalLess(GetParam().more, GetParam().less));
}

INSTANTIATE_TEST_SUITE_P(
    Table, NaturalLessTest,
    ::testing::Values(OrderCase{"ttyS2", "ttyS10"}, OrderCase{"ttyS9", "ttyS10"},
                      OrderCase{"ttyS10", "ttyUSB0"}, OrderCase{"ttyACM0", "ttyS0"},
                      OrderCase{"ttyS", "ttyS0"}, OrderCase{"ttyS1", "ttyS01"},
                      OrderCase{"ttyS1a", "ttyS1b"}, OrderCase{"a", "b"}, OrderCase{"", "a"}));

TEST(PortEnumeratorTest, NamedPortsHeadTheSystemList) {
    const std::vector<std::string> system = PortEnumerator::ListSystemPorts();
    const std::vector<std::string> all =
        PortEnumerator::ListNamedThenSystemPorts({"/tmp/reader", "/dev/pts/7"});
    ASSERT_EQ(all.size(), system.size() + 2);
    EXPECT_EQ(all[0], "/tmp/reader");
    EXPECT_EQ(all[1], "/dev/pts/7");
    EXPECT_EQ(std::vector<std::string>(all.begin() + 2, all.end()), system);
}

TEST(NaturalLessTest, NameIsNotLessThanItself) {
    EXPECT_FALSE(SysfsPortScanner::NaturalLess("ttyS10", "ttyS10"));
    EXPECT_FALSE(SysfsPortScanner::NaturalLess("", ""));
}

}  // namespace
}  // namespace uhf
