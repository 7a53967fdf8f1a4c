#include "ferrowin/cli/FerrowinOptions.h"

#include <algorithm>

#include "protocol/BaudRates.h"
#include "toolsupport/ArgumentReader.h"

namespace uhf {

const char* FerrowinOptions::Usage() {
    return "usage: ferrowin-cli -p PORT [-p PORT ...] --device-baud RATE --download-baud RATE "
           "[--trace FILE] [-v] FIRMWARE\n"
           "  Sends the firmware image FIRMWARE (at most 65535 bytes) to the UHF reader on PORT.\n"
           "  -p, --port PORT        the serial port, e.g. /dev/ttyUSB0 or COM3; given again,\n"
           "                         every reader is upgraded at once and a table ends the run\n"
           "  --report FILE          append one JSON line per reader to FILE\n"
           "  --trace FILE           write every frame on the line to FILE (- standard error),\n"
           "                         one port only\n"
           "  -v, --verbose          after a failure, show the last frames on the line\n"
           "  --device-baud RATE     the reader's working rate, or auto: ask the reader at\n"
           "                         each rate and start where it answered\n"
           "  --download-baud RATE   the rate the image is sent at\n"
           "  -h, --help             show this text\n"
           "  RATE is one of 9600, 19200, 38400, 57600, 115200.\n"
           "  Exit status: 0 when every upgrade succeeded, 1 when one failed or was interrupted,\n"
           "  2 for a usage error.\n";
}

std::optional<FerrowinOptions> FerrowinOptions::Parse(const std::vector<std::string>& args,
                                                      std::string& error) {
    FerrowinOptions options;
    bool portGiven = false;
    bool deviceGiven = false;
    bool downloadGiven = false;
    const std::vector<ArgumentReader::Option> table{
        ArgumentReader::Flag({"-h", "--help"}, options.help),
        {{"-p", "--port"},
         true,
         [&](const std::string&, const std::string& value, std::string&) {
             options.ports.push_back(value);
             portGiven = true;
             return true;
         }},
        ArgumentReader::Text({"--report"}, options.reportFile,
                             "--report needs the name of the file to append to"),
        ArgumentReader::Text({"--trace"}, options.traceFile,
                             "--trace needs the name of a file, or - for standard error"),
        ArgumentReader::Flag({"-v", "--verbose"}, options.verbose),
        {{"--device-baud", "--download-baud"},
         true,
         [&](const std::string& name, const std::string& value, std::string& why) {
             const bool device = name == "--device-baud";
             if (device && value == "auto") {
                 options.deviceBaudAuto = true;
                 deviceGiven = true;
                 return true;
             }
             const std::optional<int> rate = ArgumentReader::Integer(value);
             if (!rate || BaudRateIndex(*rate) < 0) {
                 why = name + " must be one of 9600, 19200, 38400, 57600, 115200, not \"" + value +
                       "\"";
                 return false;
             }
             (device ? options.deviceBaud : options.downloadBaud) = *rate;
             (device ? deviceGiven : downloadGiven) = true;
             return true;
         }},
    };
    const auto firmware = [&](const std::string& operand, std::string& why) {
        if (!options.firmware.empty()) {
            why = "only one firmware file can be given";
            return false;
        }
        options.firmware = operand;
        return true;
    };
    if (!ArgumentReader().AcceptEndOfOptions().Read(args, table, firmware, error)) {
        return std::nullopt;
    }
    if (options.help) {
        return options;
    }
    const bool emptyPort =
        std::find(options.ports.begin(), options.ports.end(), std::string()) != options.ports.end();
    if (!portGiven || emptyPort) {
        error = "the port is missing (-p PORT)";
    } else if (!deviceGiven) {
        error = "the reader's rate is missing (--device-baud RATE)";
    } else if (!downloadGiven) {
        error = "the download rate is missing (--download-baud RATE)";
    } else if (options.firmware.empty()) {
        error = "the firmware file is missing";
    } else if (!options.traceFile.empty() && options.ports.size() > 1) {
        error = "--trace takes one port";
    } else if (error = ArgumentReader::SamePortTwice(options.ports); error.empty()) {
        return options;
    }
    return std::nullopt;
}

}  // namespace uhf
