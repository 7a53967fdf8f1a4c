#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace uhf::test {

// A USB-serial adapter as the kernel and udev show it. An empty text leaves its attribute
// out, as a device that does not name itself does.
struct FakeUsbAdapter {
    std::string tty;        // "ttyUSB0"
    std::string usbDevice;  // the USB device's sysfs name, "1-2"
    std::string vendorId;
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::string driver;       // usb-serial driver: "ftdi_sio", "cp210x", "ch341-uart"
    std::string byIdName;     // its link in /dev/serial/by-id
    int latencyTimerMs = -1;  // the FTDI driver's latency_timer; below 0: none
};

// The three adapters a bench meets most, with the values real ones report.
inline std::vector<FakeUsbAdapter> BenchAdapters() {
    return {
        {"ttyUSB0", "1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI", "ftdi_sio",
         "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", 16},
        {"ttyUSB1", "1-2", "10c4", "ea60", "Silicon Labs", "CP2102 USB to UART Bridge Controller",
         "0001", "cp210x", "usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0",
         -1},
        // CH340s name no manufacturer and no serial number.
        {"ttyUSB2", "1-3", "1a86", "7523", "", "USB2.0-Serial", "", "ch341-uart",
         "usb-1a86_USB2.0-Serial-if00-port0", -1},
    };
}

// A fake /sys (and /dev/serial/by-id) under root: devices/ holds the device folders, class/tty/
// the entries linking to them, bus/usb-serial/devices/ the usb-serial ports, as the kernel
// lays them out.
class FakeSysfs {
  public:
    explicit FakeSysfs(const std::filesystem::path& root)
        : root(root), sys(root / "sys"), classDir(sys / "class" / "tty") {
        namespace fs = std::filesystem;
        fs::create_directories(classDir);
        fs::create_directories(sys / "bus" / "platform" / "drivers" / "serial8250");
        fs::create_directories(UsbSerialDevices());
        fs::create_directories(ByIdDir());
    }

    // A tty with no device behind it (virtual terminal, console, pseudo-terminal master).
    void AddVirtual(const std::string& name) {
        std::filesystem::path dir = sys / "devices" / "virtual" / "tty" / name;
        std::filesystem::create_directories(dir);
        std::filesystem::create_directory_symlink(dir, classDir / name);
    }

    // A tty with a device; type < 0 leaves the "type" attribute out. driver is a path below
    // bus/, such as "platform/drivers/serial8250".
    void AddDevice(const std::string& name, int type, const std::string& driver) {
        AddTty(sys / "devices" / ("dev-" + name), name, type, driver);
    }

    // A built-in UART as newer kernels show it: the tty's device is a port of the serial-base
    // bus, below its controller, below the platform device that the "serial" driver has.
    void AddBuiltInUart(const std::string& name) {
        namespace fs = std::filesystem;
        const fs::path pnp = sys / "devices" / "pnp0" / "00:01";
        const fs::path port = pnp / "00:01:0" / "00:01:0.0";
        AddTty(port, name, 4, "serial-base/drivers/port");
        fs::create_directories(sys / "bus" / "serial-base" / "drivers" / "ctrl");
        fs::create_directories(sys / "bus" / "pnp" / "drivers" / "serial");
        fs::create_directory_symlink(sys / "bus" / "serial-base" / "drivers" / "ctrl",
                                     port.parent_path() / "driver");
        fs::create_directory_symlink(sys / "bus" / "pnp" / "drivers" / "serial", pnp / "driver");
    }

    void AddUsbAdapter(const FakeUsbAdapter& adapter) {
        namespace fs = std::filesystem;
        const fs::path usb =
            sys / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / adapter.usbDevice;
        const fs::path port = usb / (adapter.usbDevice + ":1.0") / adapter.tty;
        AddTty(port, adapter.tty, -1, "usb-serial/drivers/" + adapter.driver);
        const std::pair<const char*, const std::string*> attributes[] = {
            {"idVendor", &adapter.vendorId},
            {"idProduct", &adapter.productId},
            {"manufacturer", &adapter.manufacturer},
            {"product", &adapter.product},
            {"serial", &adapter.serialNumber}};
        for (const auto& [name, value] : attributes) {
            if (!value->empty()) {
                WriteFile(usb / name, *value + "\n");
            }
        }
        if (adapter.latencyTimerMs >= 0) {
            WriteFile(port / "latency_timer", std::to_string(adapter.latencyTimerMs) + "\n");
        }
        fs::create_directory_symlink(port, UsbSerialDevices() / adapter.tty);
        if (!adapter.byIdName.empty()) {
            fs::create_symlink("../../" + adapter.tty, ByIdDir() / adapter.byIdName);
        }
    }

    std::string ClassDir() const { return classDir.string(); }
    std::filesystem::path ByIdDir() const { return root / "dev" / "serial" / "by-id"; }
    std::filesystem::path UsbSerialDevices() const {
        return sys / "bus" / "usb-serial" / "devices";
    }

    static void WriteFile(const std::filesystem::path& path, const std::string& text) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    }

  private:
    void AddTty(const std::filesystem::path& device, const std::string& name, int type,
                const std::string& driver) {
        namespace fs = std::filesystem;
        const fs::path tty = device / "tty" / name;
        fs::create_directories(tty);
        fs::create_directories(sys / "bus" / driver);
        fs::create_directory_symlink(sys / "bus" / driver, device / "driver");
        fs::create_directory_symlink(device, tty / "device");
        if (type >= 0) {
            WriteFile(tty / "type", std::to_string(type) + "\n");
        }
        fs::create_directory_symlink(tty, classDir / name);
    }

    std::filesystem::path root;
    std::filesystem::path sys;
    std::filesystem::path classDir;
};

}  // namespace uhf::test
