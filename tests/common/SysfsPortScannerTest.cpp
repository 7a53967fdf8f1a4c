#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fakes/TempFolder.h"
#include "common/PortConfig.h"
#include "common/PortEnumerator.h"
#include "common/SysfsPortScanner.h"
#include "fakes/FakeSysfs.h"

namespace uhf {
namespace {

namespace fs = std::filesystem;

class SysfsPortScannerTest : public ::testing::Test {
  protected:
    test::TempFolder folder;
    test::FakeSysfs sysfs{folder.PathOf("root")};
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

TEST_F(SysfsPortScannerTest, DescribesEachUsbAdapterAndTheBuiltInUart) {
    for (const test::FakeUsbAdapter& adapter : test::BenchAdapters()) {
        sysfs.AddUsbAdapter(adapter);
    }
    sysfs.AddBuiltInUart("ttyS0");
    sysfs.AddVirtual("tty1");
    // A link of another port, and one that is not a link, are not the adapters'.
    fs::create_symlink("../../ttyUSB10", sysfs.ByIdDir() / "usb-Other_Device-if00-port0");
    test::FakeSysfs::WriteFile(sysfs.ByIdDir() / "stray-ttyUSB0", "");

    const std::string byId = sysfs.ByIdDir().string() + "/";
    const std::vector<PortInfo> ports =
        SysfsPortScanner(sysfs.ClassDir(), "/dev/", sysfs.ByIdDir().string()).ScanDetails();
    ASSERT_EQ(ports.size(), 4u);
    const auto fields = [](const PortInfo& p) {
        return std::vector<std::string>{p.path,         p.byIdPath, p.vendorId,     p.productId,
                                        p.manufacturer, p.product,  p.serialNumber, p.driver};
    };
    EXPECT_EQ(fields(ports[0]),
              (std::vector<std::string>{"/dev/ttyS0", "", "", "", "", "", "", "serial"}));
    EXPECT_EQ(fields(ports[1]),
              (std::vector<std::string>{
                  "/dev/ttyUSB0", byId + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "0403",
                  "6001", "FTDI", "FT232R USB UART", "A50285BI", "ftdi_sio"}));
    EXPECT_EQ(
        fields(ports[2]),
        (std::vector<std::string>{
            "/dev/ttyUSB1",
            byId + "usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0", "10c4",
            "ea60", "Silicon Labs", "CP2102 USB to UART Bridge Controller", "0001", "cp210x"}));
    EXPECT_EQ(fields(ports[3]),
              (std::vector<std::string>{"/dev/ttyUSB2", byId + "usb-1a86_USB2.0-Serial-if00-port0",
                                        "1a86", "7523", "", "USB2.0-Serial", "", "ch341-uart"}));

    EXPECT_EQ(ports[1].Describe(),
              "FTDI FT232R USB UART, USB 0403:6001, serial A50285BI, driver ftdi_sio, " + byId +
                  "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    EXPECT_EQ(ports[3].Describe(), "USB2.0-Serial, USB 1a86:7523, driver ch341-uart, " + byId +
                                       "usb-1a86_USB2.0-Serial-if00-port0");
    EXPECT_EQ(ports[0].Describe(), "driver serial");
    // The plain list is the same ports in the same order.
    std::vector<std::string> paths;
    for (const PortInfo& port : ports) {
        paths.push_back(port.path);
    }
    EXPECT_EQ(SysfsPortScanner(sysfs.ClassDir(), "/dev/").Scan(), paths);
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

TEST(PortEnumeratorTest, NamedPortsHeadTheSystemList) {
    const std::vector<std::string> system = PortEnumerator::ListSystemPorts();
    const std::vector<std::string> all =
        PortEnumerator::ListNamedThenSystemPorts({"/tmp/reader", "/dev/pts/7"});
    ASSERT_EQ(all.size(), system.size() + 2);
    EXPECT_EQ(all[0], "/tmp/reader");
    EXPECT_EQ(all[1], "/dev/pts/7");
    EXPECT_EQ(std::vector<std::string>(all.begin() + 2, all.end()), system);
}

}  // namespace
}  // namespace uhf
