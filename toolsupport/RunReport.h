#pragma once

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/PortInfo.h"

namespace uhf {

// The record of a production line: one JSON object a line per reader and operation, appended to
// a file that other runs share. Each line leaves in one write to a file opened for appending and
// is on its way to the disk before Append returns, so a run killed at any moment loses no line
// already written and never interleaves with another run's.
class RunReport {
  public:
    struct Entry {
        std::string port;
        std::string serialNumber;  // of the adapter, where the system knows it
        std::string operation;     // "write", "download", ...
        std::string result;        // "ok" or "failed"
        std::string message;
        // Further members, each value already JSON ("65535", "{...}", "\"ab12\"").
        std::vector<std::pair<std::string, std::string>> values;
    };

    RunReport(std::string tool, std::string version);
    ~RunReport();

    enum class OpenResult { Opened, NotAFile, Failed };
    // Opens `path` for appending, creating it when it does not exist. Anything but a regular file
    // is refused before it is opened (NotAFile): a FIFO would hold the open up for good, and a
    // device keeps no record. Failed when the file cannot be opened. `error` then says why.
    OpenResult Open(const std::string& path, std::string& error);
    // A tool's start: opens `path` when one is given. When it cannot, says why on stderr as
    // "tool: reason" and gives the exit status to end with (a usage error for what is no
    // regular file).
    std::optional<int> OpenOrRefuse(const std::string& path);
    // Thread-safe. False when the line could not be written whole.
    bool Append(const Entry& entry);

    // The line of `entry` as Append writes it, without the newline.
    std::string Line(const Entry& entry, std::chrono::system_clock::time_point when) const;

    // "2026-12-07T17:12:29.123Z"
    static std::string UtcTime(std::chrono::system_clock::time_point when);
    // The serial number of the adapter behind `port` (its path or its by-id name), or empty.
    static std::string SerialNumberOf(const std::string& port, const std::vector<PortInfo>& ports);

  private:
    std::string tool;
    std::string version;
    std::mutex mutex;
    std::FILE* file = nullptr;
};

}  // namespace uhf
