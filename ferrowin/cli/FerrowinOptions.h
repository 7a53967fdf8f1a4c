#pragma once

#include <optional>
#include <string>
#include <vector>

namespace uhf {

// The command line of ferrowin-cli:
//   ferrowin-cli -p PORT [-p PORT ...] --device-baud RATE --download-baud RATE [--trace FILE] [-v]
//                FIRMWARE
struct FerrowinOptions {
    std::vector<std::string> ports;  // one transfer each, all at once
    std::string reportFile;          // --report: one JSON line per reader
    std::string traceFile;           // --trace: every frame on the line, "-" standard error
    bool verbose = false;            // -v: the trace's last lines under a failure
    int deviceBaud = 0;
    bool deviceBaudAuto = false;  // --device-baud auto: found by asking the reader
    int downloadBaud = 0;
    std::string firmware;
    bool help = false;

    static const char* Usage();

    // The options in `args` (without the program name); nothing, with the reason in `error`, when
    // they do not make a command.
    static std::optional<FerrowinOptions> Parse(const std::vector<std::string>& args,
                                                std::string& error);
};

}  // namespace uhf
