#include "tesmarle/cli/TesmarleOptions.h"

#include <cctype>
#include <cstdlib>
#include <map>

#include "protocol/BaudRates.h"
#include "tesmarle/cli/TesmarleFields.h"
#include "toolsupport/ArgumentReader.h"

namespace uhf {

namespace {

std::optional<TesmarleAction> ActionNamed(const std::string& word) {
    static const std::map<std::string, TesmarleAction> kActions{
        {"read", TesmarleAction::Read},     {"write", TesmarleAction::Write},
        {"resume", TesmarleAction::Resume}, {"tags", TesmarleAction::Tags},
        {"ports", TesmarleAction::Ports},   {"doctor", TesmarleAction::Doctor},
        {"check", TesmarleAction::Check},   {"diff", TesmarleAction::Diff},
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
    bool noVerify = false;
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
             if (parsed.ports.empty()) {
                 parsed.port = value;
             }
             parsed.ports.push_back(value);
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
        ArgumentReader::Flag({"--json"}, json),
        ArgumentReader::Flag({"--csv"}, csv),
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
        ArgumentReader::Text({"--from"}, parsed.fromFile,
                             "--from: expected the name of a JSON file written by 'read --json'"),
        ArgumentReader::Flag({"--no-verify"}, noVerify),
        ArgumentReader::Flag({"--only-differences"}, parsed.onlyDifferences),
        ArgumentReader::Flag({"--loader"}, parsed.loaderProbe),
        ArgumentReader::Flag({"--stats"}, parsed.stats),
        ArgumentReader::Text({"--trace"}, parsed.traceFile,
                             "--trace: expected the name of a file, or - for standard error"),
        ArgumentReader::Flag({"-v", "--verbose"}, parsed.verbose),
        ArgumentReader::Text({"--report"}, parsed.reportFile,
                             "--report: expected the name of the file to append to"),
    };
    for (const std::string& optionName : FieldOptionNames()) {
        table.push_back(
            {{optionName},
             true,
             [&parsed](const std::string& name, const std::string& value, std::string& why) {
                 ParamChange change{};
                 if (!ParseFieldOption(name, value, change, why)) {
                     return false;
                 }
                 parsed.changes.push_back(change);
                 return true;
             }});
    }
    const auto command = [&](const std::string& word, std::string& why) {
        if (parsed.action == TesmarleAction::Diff && parsed.files.size() < 2) {
            parsed.files.push_back(word);
            return true;
        }
        if (parsed.action != TesmarleAction::None) {
            why = "unexpected argument '" + word + "'";
            return false;
        }
        const auto action = ActionNamed(word);
        if (!action) {
            why = "unknown command '" + word +
                  "' (expected read, write, check, diff, resume, tags, ports or doctor)";
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
    const bool listing =
        parsed.action == TesmarleAction::Ports || parsed.action == TesmarleAction::Doctor;
    const bool portless = listing || parsed.action == TesmarleAction::Diff;
    const bool writing = parsed.action == TesmarleAction::Write;
    const bool checking = parsed.action == TesmarleAction::Check;
    const bool tagging = parsed.action == TesmarleAction::Tags;
    // The first refusal that applies is the one given.
    error.clear();
    if (parsed.action == TesmarleAction::None) {
        error = "no command given (read, write, check, diff, resume, tags, ports or doctor)";
    } else if (!portGiven && !portless) {
        error = "no port given: use -p PORT";
    } else if (portGiven && parsed.action == TesmarleAction::Diff) {
        error = "diff compares two files and opens no port";
    } else if (parsed.action == TesmarleAction::Diff && parsed.files.size() != 2) {
        error = "diff needs two files: diff A.json B.json";
    } else if (parsed.ports.size() > 1 && !writing && !checking) {
        error = "several ports (-p) belong to the write and check commands";
    } else if (const std::string same = ArgumentReader::SamePortTwice(parsed.ports);
               !same.empty()) {
        error = same;
    } else if (parsed.ports.size() > 1 && parsed.fromFile == "-") {
        error = "--from - reads standard input once: with several ports give a file";
    } else if (checking && (parsed.fromFile.empty() || !parsed.changes.empty())) {
        error = "check needs --from FILE and no field options";
    } else if (!writing && !checking && (!parsed.changes.empty() || !parsed.fromFile.empty())) {
        error = "field options and --from belong to the write command";
    } else if (!writing && (noVerify || parsed.onlyDifferences)) {
        error = std::string(noVerify ? "--no-verify" : "--only-differences") +
                " belongs to the write command";
    } else if (!parsed.reportFile.empty() && portless && parsed.action != TesmarleAction::Doctor) {
        error = "--report belongs to the commands that talk to a reader";
    } else if (!parsed.traceFile.empty() && (portless || parsed.ports.size() > 1)) {
        error = "--trace takes one port, and a command that talks to a reader";
    } else if (parsed.loaderProbe && parsed.action != TesmarleAction::Doctor) {
        error = "--loader belongs to the doctor command";
    } else if (writing && parsed.changes.empty() && parsed.fromFile.empty()) {
        error = "write needs at least one field option or --from FILE";
    } else if (!tagging && (parsed.seconds || csv || parsed.stats)) {
        error = std::string(parsed.seconds ? "--seconds"
                            : csv          ? "--csv"
                                           : "--stats") +
                " belongs to the tags command";
    } else if (listing && baudGiven) {
        error = "-b belongs to the commands that talk to the reader (doctor tries every rate)";
    } else if (json && parsed.action != TesmarleAction::Read && !tagging && !listing) {
        error = "--json belongs to the read, tags, ports and doctor commands";
    } else if (json && csv) {
        error = "--json and --csv exclude each other";
    }
    if (!error.empty()) {
        return false;
    }
    parsed.verify = !noVerify;
    parsed.format = json ? TesmarleFormat::Json : csv ? TesmarleFormat::Csv : TesmarleFormat::Text;
    options = parsed;
    return true;
}

std::string TesmarleUsage() {
    return "usage:\n"
           "  tesmarle-cli -p PORT [-b BAUD] read [--json]\n"
           "  tesmarle-cli -p PORT [-p PORT ...] [-b BAUD] write [FIELD OPTIONS] [--from FILE]\n"
           "               [--no-verify] [--only-differences]\n"
           "  tesmarle-cli -p PORT [-p PORT ...] [-b BAUD] check --from FILE\n"
           "  tesmarle-cli diff A.json B.json\n"
           "  tesmarle-cli -p PORT [-b BAUD] resume\n"
           "  tesmarle-cli -p PORT [-b BAUD] tags [--seconds S] [--stats] [--json | --csv]\n"
           "  tesmarle-cli ports [--json]\n"
           "  tesmarle-cli [-p PORT] doctor [--loader] [--json] [--report FILE]\n"
           "\n"
           "  -p, --port PORT       serial port, for example /dev/ttyUSB0\n"
           "  -b, --baud BAUD       9600 (default), 19200, 38400, 57600, 115200, or auto: ask\n"
           "                        the reader at each rate and go on at the one it answers\n"
           "  --report FILE         append one JSON line per reader and command to FILE\n"
           "  --trace FILE          write every frame on the line to FILE (- standard error);\n"
           "                        one port\n"
           "  -v, --verbose         after a failure, show the last frames on the line\n"
           "  doctor                say what stands between this user and the reader on PORT\n"
           "                        (or on every port), and where the reader answers Stop\n"
           "  --stats               tags: at the end, each tag's count, first and last seen and\n"
           "                        reads a second, then the totals\n"
           "  --loader              doctor: where Stop finds nothing, send the download tool's\n"
           "                        probe too; a reader that hears it enters its upgrade loader\n"
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
           "  --no-verify                    do not read the record back after writing\n"
           "  --only-differences             write only the blocks that differ from the reader\n"
           "\n"
           "several ports run at once, one reader each; the exit status is 0 only when every\n"
           "reader succeeded. check and diff print the fields that differ and exit 1 if any.\n"
           "\n"
           "exit status: 0 success (doctor: a reader answered), 1 port or reader failure, 2 usage\n"
           "error\n";
}

}  // namespace uhf
