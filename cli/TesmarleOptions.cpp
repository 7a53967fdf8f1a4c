#include "cli/TesmarleOptions.h"

#include <cctype>
#include <cstdlib>
#include <map>

#include "cli/ArgumentReader.h"
#include "cli/TesmarleFields.h"
#include "protocol/BaudRates.h"

namespace uhf {

namespace {

std::optional<TesmarleAction> ActionNamed(const std::string& word) {
    static const std::map<std::string, TesmarleAction> kActions{
        {"read", TesmarleAction::Read},     {"write", TesmarleAction::Write},
        {"resume", TesmarleAction::Resume}, {"tags", TesmarleAction::Tags},
        {"ports", TesmarleAction::Ports},   {"doctor", TesmarleAction::Doctor},
    };
    const auto found = kActions.find(word);
    if (found == kActions.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::optional<double> ParseSeconds(const std::string& text) {
    if (text.empty() || text.size() > 12) {
        return std::nullopt;
    }
    bool dot = false;
    for (char c : text) {
        if (c == '.' && !dot) {
            dot = true;
        } else if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
            return std::nullopt;
        }
    }
    const double value = std::strtod(text.c_str(), nullptr);
    if (!(value > 0.0) || value > 1.0e7) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool ParseTesmarleArgs(const std::vector<std::string>& args, TesmarleOptions& options,
                       std::string& error) {
    TesmarleOptions parsed;
    bool json = false;
    bool csv = false;
    bool portGiven = false;
    bool baudGiven = false;
    using Option = ArgumentReader::Option;
    std::vector<Option> table{
        {{"-h", "--help"},
         false,
         [&](const std::string&, const std::string&, std::string&) {
             parsed.action = TesmarleAction::Help;
             return true;
         },
         true},
        {{"-p", "--port"},
         true,
         [&](const std::string& name, const std::string& value, std::string& why) {
             if (value.empty()) {
                 why = name + ": expected a serial port such as /dev/ttyUSB0";
                 return false;
             }
             parsed.port = value;
             portGiven = true;
             return true;
         }},
        {{"-b", "--baud"},
         true,
         [&](const std::string& name, const std::string& value, std::string& why) {
             baudGiven = true;
             if (value == "auto") {
                 parsed.baudRate = kAutoBaud;
                 return true;
             }
             const auto baud = ParseWholeNumber(value, 0, 1000000);
             if (!baud || BaudRateIndex(static_cast<int>(*baud)) < 0) {
                 why = name + ": expected 9600, 19200, 38400, 57600, 115200 or auto, got '" +
                       value + "'";
                 return false;
             }
             parsed.baudRate = static_cast<int>(*baud);
             return true;
         }},
        {{"--json", "--csv"},
         false,
         [&](const std::string& name, const std::string&, std::string&) {
             (name == "--json" ? json : csv) = true;
             return true;
         }},
        {{"--seconds"},
         true,
         [&](const std::string&, const std::string& value, std::string& why) {
             parsed.seconds = ParseSeconds(value);
             if (!parsed.seconds) {
                 why = "--seconds: expected a number of seconds above 0, got '" + value + "'";
                 return false;
             }
             return true;
         }},
        {{"--from"},
         true,
         [&](const std::string&, const std::string& value, std::string& why) {
             parsed.fromFile = value;
             if (parsed.fromFile.empty()) {
                 why = "--from: expected the name of a JSON file written by 'read --json'";
                 return false;
             }
             return true;
         }},
    };
    for (const std::string& optionName : FieldOptionNames()) {
        table.push_back(
            {{optionName},
             true,
             [&parsed](const std::string& name, const std::string& value, std::string& why) {
                 FieldChange change;
                 if (!ParseFieldOption(name, value, change, why)) {
                     return false;
                 }
                 parsed.changes.push_back(change);
                 return true;
             }});
    }
    const auto command = [&](const std::string& word, std::string& why) {
        if (parsed.action != TesmarleAction::None) {
            why = "unexpected argument '" + word + "'";
            return false;
        }
        const auto action = ActionNamed(word);
        if (!action) {
            why = "unknown command '" + word +
                  "' (expected read, write, resume, tags, ports or doctor)";
            return false;
        }
        parsed.action = *action;
        return true;
    };
    if (!ArgumentReader().AcceptInlineValues().Read(args, table, command, error)) {
        return false;
    }
    if (parsed.action == TesmarleAction::Help) {
        options = parsed;
        return true;
    }

    if (parsed.action == TesmarleAction::None) {
        error = "no command given (read, write, resume, tags, ports or doctor)";
        return false;
    }
    const bool listing =
        parsed.action == TesmarleAction::Ports || parsed.action == TesmarleAction::Doctor;
    if (!portGiven && !listing) {
        error = "no port given: use -p PORT";
        return false;
    }
    const bool writing = parsed.action == TesmarleAction::Write;
    const bool tagging = parsed.action == TesmarleAction::Tags;
    if (!writing && (!parsed.changes.empty() || !parsed.fromFile.empty())) {
        error = "field options and --from belong to the write command";
        return false;
    }
    if (writing && parsed.changes.empty() && parsed.fromFile.empty()) {
        error = "write needs at least one field option or --from FILE";
        return false;
    }
    if (!tagging && (parsed.seconds || csv)) {
        error =
            std::string(parsed.seconds ? "--seconds" : "--csv") + " belongs to the tags command";
        return false;
    }
    if (listing && baudGiven) {
        error = "-b belongs to the commands that talk to the reader (doctor tries every rate)";
        return false;
    }
    if (json && parsed.action != TesmarleAction::Read && !tagging && !listing) {
        error = "--json belongs to the read, tags, ports and doctor commands";
        return false;
    }
    if (json && csv) {
        error = "--json and --csv exclude each other";
        return false;
    }
    parsed.format = json ? TesmarleFormat::Json : csv ? TesmarleFormat::Csv : TesmarleFormat::Text;
    options = parsed;
    return true;
}

std::string TesmarleUsage() {
    return "usage:\n"
           "  tesmarle-cli -p PORT [-b BAUD] read [--json]\n"
           "  tesmarle-cli -p PORT [-b BAUD] write [FIELD OPTIONS] [--from FILE]\n"
           "  tesmarle-cli -p PORT [-b BAUD] resume\n"
           "  tesmarle-cli -p PORT [-b BAUD] tags [--seconds S] [--json | --csv]\n"
           "  tesmarle-cli ports [--json]\n"
           "  tesmarle-cli [-p PORT] doctor [--json]\n"
           "\n"
           "  -p, --port PORT       serial port, for example /dev/ttyUSB0\n"
           "  -b, --baud BAUD       9600 (default), 19200, 38400, 57600, 115200, or auto: ask\n"
           "                        the reader at each rate and go on at the one it answers\n"
           "  doctor                say what stands between this user and the reader on PORT\n"
           "                        (or on every port), and where the reader answers\n"
           "\n"
           "field options of write:\n"
           "  --power 0..255                 --card-mode single|multi\n"
           "  --time-distance 0..255         --id-border on|off\n"
           "  --connect-port rs485|wiegand   --protocol wiegand26|wiegand34|wiegand32|wiegand40\n"
           "  --export-time 1|2|3            --export-distance 100|200|...|1000 (ms)\n"
           "  --pulse-width 0..255           --pulse-periods 0..255\n"
           "  --frequency hop|MHZ            (one of the 50 channels 902.5 .. 927.0)\n"
           "  --from FILE                    fields from a file written by 'read --json';\n"
           "                                 options given beside it win\n"
           "\n"
           "exit status: 0 success (doctor: a reader answered), 1 port or reader failure, 2 usage\n"
           "error\n";
}

}  // namespace uhf
