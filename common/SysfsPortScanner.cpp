#include "common/SysfsPortScanner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

namespace uhf {
namespace {

namespace fs = std::filesystem;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the small decimal attribute at path; false when it is missing or not a number.
bool ReadNumber(const fs::path& path, long& number) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    in >> number;
    return static_cast<bool>(in);
}

}  // namespace

SysfsPortScanner::SysfsPortScanner(std::string classDir, std::string devDir)
    : ttyClassDir(std::move(classDir)), deviceDir(std::move(devDir)) {}

bool SysfsPortScanner::NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA])) {
                ++endA;
            }
            while (endB < b.size() && IsDigit(b[endB])) {
                ++endB;
            }
            std::string_view runA = a.substr(i, endA - i);
            std::string_view runB = b.substr(j, endB - j);
            runA.remove_prefix(std::min(runA.find_first_not_of('0'), runA.size()));
            runB.remove_prefix(std::min(runB.find_first_not_of('0'), runB.size()));
            if (runA.size() != runB.size()) {
                return runA.size() < runB.size();
            }
            if (runA != runB) {
                return runA < runB;
            }
            // Equal numbers: the shorter spelling ("1" before "01") keeps the order strict.
            if (endA - i != endB - j) {
                return endA - i < endB - j;
            }
            i = endA;
            j = endB;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

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

std::vector<std::string> SysfsPortScanner::Scan() const {
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
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NaturalLess(a, b); });
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (std::string& name : names) {
        // The kernel writes '/' of a device name as '!' in sysfs.
        std::replace(name.begin(), name.end(), '!', '/');
        paths.push_back(deviceDir + name);
    }
    return paths;
}

}  // namespace uhf
