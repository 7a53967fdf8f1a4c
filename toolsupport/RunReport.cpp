#include "toolsupport/RunReport.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>

#include "common/SystemText.h"
#include "toolsupport/ExitStatus.h"
#include "toolsupport/JsonText.h"
#include "toolsupport/ProcessSetup.h"

namespace uhf {

RunReport::RunReport(std::string toolName, std::string toolVersion)
    : tool(std::move(toolName)), version(std::move(toolVersion)) {}

RunReport::~RunReport() {
    if (file != nullptr) {
        std::fclose(file);
    }
}

std::optional<int> RunReport::OpenOrRefuse(const std::string& path) {
    if (path.empty()) {
        return std::nullopt;
    }
    std::string error;
    const OpenResult opened = Open(path, error);
    if (opened == OpenResult::Opened) {
        return std::nullopt;
    }
    std::cerr << tool << ": " << error << "\n";
    return ProcessSetup::Finish(tool.c_str(),
                                opened == OpenResult::NotAFile ? kExitUsage : kExitFailure);
}

RunReport::OpenResult RunReport::Open(const std::string& path, std::string& error) {
    std::error_code code;
    const auto status = std::filesystem::status(PathFromUtf8(path), code);
    if (status.type() != std::filesystem::file_type::not_found &&
        !std::filesystem::is_regular_file(status) && !code) {
        error = "--report " + path + ": not a regular file";
        return OpenResult::NotAFile;
    }
    // "a" opens with O_APPEND: every write lands at the end, whoever else appends.
    file = OpenFile(path, "ab");
    if (file == nullptr) {
        error = "--report " + path + ": " + std::strerror(errno);
        return OpenResult::Failed;
    }
    // Unbuffered: one fwrite of a whole line is one write of the system.
    std::setvbuf(file, nullptr, _IONBF, 0);
    return OpenResult::Opened;
}

bool RunReport::Append(const Entry& entry) {
    const std::string line = Line(entry, std::chrono::system_clock::now()) + "\n";
    const std::lock_guard<std::mutex> lock(mutex);
    if (file == nullptr) {
        return false;
    }
    return std::fwrite(line.data(), 1, line.size(), file) == line.size() && std::fflush(file) == 0;
}

std::string RunReport::Line(const Entry& entry, std::chrono::system_clock::time_point when) const {
    std::string line =
        "{\"time\": \"" + UtcTime(when) + "\", \"tool\": " + JsonText(tool) +
        ", \"version\": " + JsonText(version) + ", \"port\": " + JsonText(entry.port) +
        ", \"serialNumber\": " + JsonText(entry.serialNumber) +
        ", \"operation\": " + JsonText(entry.operation) +
        ", \"result\": " + JsonText(entry.result) + ", \"message\": " + JsonText(entry.message);
    for (const auto& [key, value] : entry.values) {
        line += ", " + JsonText(key) + ": " + value;
    }
    return line + "}";
}

std::string RunReport::UtcTime(std::chrono::system_clock::time_point when) {
    const auto since = when.time_since_epoch();
    const auto seconds = std::chrono::floor<std::chrono::seconds>(since);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(since - seconds).count();
    const std::chrono::sys_days day = std::chrono::floor<std::chrono::days>(when);
    const std::chrono::year_month_day date(day);
    const std::chrono::hh_mm_ss<std::chrono::seconds> time(seconds - day.time_since_epoch());
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(time.hours().count()),
                  static_cast<int>(time.minutes().count()),
                  static_cast<int>(time.seconds().count()), static_cast<int>(millis));
    return text;
}

std::string RunReport::SerialNumberOf(const std::string& port, const std::vector<PortInfo>& ports) {
    // A link such as /dev/serial/by-id/... names the same device as its target.
    std::error_code error;
    const auto resolved = std::filesystem::weakly_canonical(PathFromUtf8(port), error);
    for (const PortInfo& info : ports) {
        std::error_code other;
        if (info.path == port || (!info.byIdPath.empty() && info.byIdPath == port) ||
            (!error &&
             std::filesystem::weakly_canonical(PathFromUtf8(info.path), other) == resolved &&
             !other)) {
            return info.serialNumber;
        }
    }
    return {};
}

}  // namespace uhf
