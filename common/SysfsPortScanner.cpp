#include "common/SysfsPortScanner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "common/NaturalPortOrder.h"

namespace uhf {
namespace {

namespace fs = std::filesystem;

// Reads the small decimal attribute at path; false when it is missing or not a number.
bool ReadNumber(const fs::path& path, long& number) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    in >> number;
    return static_cast<bool>(in);
}

// A one-line text attribute without its line break; empty when missing. Bounded: sysfs
// attributes are one page at most.
std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(4096, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

// The kernel writes '/' of a device name as '!' in sysfs.
std::string DeviceName(std::string name) {
    std::replace(name.begin(), name.end(), '!', '/');
    return name;
}

}  // namespace

SysfsPortScanner::SysfsPortScanner(std::string classDir, std::string devDir, std::string idDir)
    : ttyClassDir(std::move(classDir)), deviceDir(std::move(devDir)), byIdDir(std::move(idDir)) {}

bool SysfsPortScanner::IsRealPort(const std::string& name) const {
    std::error_code error;
    fs::path entry = fs::path(ttyClassDir) / name;
    if (fs::symlink_status(entry / "device", error).type() == fs::file_type::not_found) {
        return false;
    }
    long type = 0;
    if (ReadNumber(entry / "type", type)) {
        return type != 0;
    }
    if (name.starts_with("ttyS")) {
        fs::path driver = fs::read_symlink(entry / "device" / "driver", error);
        return error || driver.filename() != "serial8250";
    }
    return true;
}

std::vector<std::string> SysfsPortScanner::Names() const {
    std::vector<std::string> names;
    std::error_code error;
    fs::directory_iterator it(ttyClassDir, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::string name = it->path().filename().string();
        if (IsRealPort(name)) {
            names.push_back(std::move(name));
        }
    }
    // Directory order means nothing and differs between file systems; this one is stable.
    std::sort(names.begin(), names.end(), NaturalPortOrder{});
    return names;
}

std::vector<std::string> SysfsPortScanner::Scan() const {
    std::vector<std::string> paths;
    for (const std::string& name : Names()) {
        paths.push_back(deviceDir + DeviceName(name));
    }
    return paths;
}

std::vector<PortInfo> SysfsPortScanner::ScanDetails() const {
    std::vector<PortInfo> ports;
    for (const std::string& name : Names()) {
        ports.push_back(Describe(name));
    }
    return ports;
}

PortInfo SysfsPortScanner::Describe(const std::string& name) const {
    PortInfo info;
    info.path = deviceDir + DeviceName(name);
    std::error_code error;
    const fs::path device = fs::canonical(fs::path(ttyClassDir) / name / "device", error);
    if (error) {
        return info;
    }
    // Newer kernels put a serial core port and controller (drivers "port" and "ctrl" of the
    // serial-base bus) between a UART and its device; the UART's driver is above them.
    fs::path owner = device;
    for (int level = 0; level < 3; ++level) {
        const fs::path driver = fs::read_symlink(owner / "driver", error);
        info.driver = error ? std::string() : driver.filename().string();
        if (driver.parent_path().parent_path().filename() != "serial-base") {
            break;
        }
        owner = owner.parent_path();
    }
    // A ttyUSB port hangs below its USB interface, which hangs below the USB device; a ttyACM
    // port is the interface itself. The device is the first folder up with a vendor id.
    fs::path up = device;
    for (int level = 0; level < 4 && up.has_relative_path(); ++level, up = up.parent_path()) {
        if (fs::exists(up / "idVendor", error)) {
            info.vendorId = ReadText(up / "idVendor");
            info.productId = ReadText(up / "idProduct");
            info.manufacturer = ReadText(up / "manufacturer");
            info.product = ReadText(up / "product");
            info.serialNumber = ReadText(up / "serial");
            break;
        }
    }
    // udev's links name the port by its device's description; they point at ../../<name>.
    std::vector<std::string> links;
    const std::string leaf = fs::path(DeviceName(name)).filename().string();
    fs::directory_iterator it(byIdDir, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (!linkError && target.filename() == leaf) {
            links.push_back(it->path().string());
        }
    }
    if (!links.empty()) {
        info.byIdPath = *std::min_element(links.begin(), links.end());
    }
    return info;
}

}  // namespace uhf
