#include "cli/FerrowinOptions.h"

#include <array>
#include <cctype>
#include <charconv>

namespace uhf {

namespace {

constexpr std::array<int, 5> kRates{9600, 19200, 38400, 57600, 115200};

bool ParseRate(const std::string& text, int& rate) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || FerrowinOptions::BaudIndex(value) < 0) {
        return false;
    }
    rate = value;
    return true;
}

}  // namespace

const char* FerrowinOptions::Usage() {
    return "usage: ferrowin-cli -p PORT --device-baud RATE --download-baud RATE FIRMWARE\n"
           "  Sends the firmware image FIRMWARE (at most 65535 bytes) to the UHF reader on PORT.\n"
           "  -p, --port PORT        the serial port, e.g. /dev/ttyUSB0 or COM3\n"
           "  --device-baud RATE     the reader's working rate\n"
           "  --download-baud RATE   the rate the image is sent at\n"
           "  -h, --help             show this text\n"
           "  RATE is one of 9600, 19200, 38400, 57600, 115200.\n"
           "  Exit status: 0 when the upgrade succeeded, 1 when it failed or was interrupted,\n"
           "  2 for a usage error.\n";
}

std::optional<FerrowinOptions> FerrowinOptions::Parse(const std::vector<std::string>& args,
                                                      std::string& error) {
    FerrowinOptions options;
    bool portGiven = false;
    bool deviceGiven = false;
    bool downloadGiven = false;
    bool onlyOperands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        if (onlyOperands || arg.empty() || arg[0] != '-' || arg == "-") {
            if (!options.firmware.empty()) {
                error = "only one firmware file can be given";
                return std::nullopt;
            }
            options.firmware = arg;
        } else if (arg == "--") {
            onlyOperands = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-p" || arg == "--port") {
            if (!value(options.port)) {
                return std::nullopt;
            }
            portGiven = true;
        } else if (arg == "--device-baud" || arg == "--download-baud") {
            std::string text;
            if (!value(text)) {
                return std::nullopt;
            }
            int& rate = arg == "--device-baud" ? options.deviceBaud : options.downloadBaud;
            if (!ParseRate(text, rate)) {
                error =
                    arg + " must be one of 9600, 19200, 38400, 57600, 115200, not \"" + text + "\"";
                return std::nullopt;
            }
            (arg == "--device-baud" ? deviceGiven : downloadGiven) = true;
        } else {
            error = "unknown option " + arg;
            return std::nullopt;
        }
    }
    if (options.help) {
        return options;
    }
    if (!portGiven || options.port.empty()) {
        error = "the port is missing (-p PORT)";
    } else if (!deviceGiven) {
        error = "the reader's rate is missing (--device-baud RATE)";
    } else if (!downloadGiven) {
        error = "the download rate is missing (--download-baud RATE)";
    } else if (options.firmware.empty()) {
        error = "the firmware file is missing";
    } else {
        return options;
    }
    return std::nullopt;
}

int FerrowinOptions::BaudIndex(int rate) {
    for (std::size_t i = 0; i < kRates.size(); ++i) {
        if (kRates[i] == rate) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FerrowinOptions::PortNumber(const std::string& port) {
    if (port.size() < 4 || std::toupper(static_cast<unsigned char>(port[0])) != 'C' ||
        std::toupper(static_cast<unsigned char>(port[1])) != 'O' ||
        std::toupper(static_cast<unsigned char>(port[2])) != 'M') {
        return 0;
    }
    int number = 0;
    const char* end = port.data() + port.size();
    const auto [ptr, ec] = std::from_chars(port.data() + 3, end, number);
    return ec == std::errc() && ptr == end && number > 0 ? number : 0;
}

}  // namespace uhf
