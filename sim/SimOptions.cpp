#include "sim/SimOptions.h"

#include <charconv>

#include "sim/TagPopulation.h"

namespace uhf {

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    int parsed = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, parsed);
    if (ec != std::errc() || ptr != end || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool IsStandardBaud(int baud) {
    switch (baud) {
        case 1200:
        case 2400:
        case 4800:
        case 9600:
        case 19200:
        case 38400:
        case 57600:
        case 115200:
        case 230400:
            return true;
        default:
            return false;
    }
}

}  // namespace

const char* SimOptions::Usage() {
    return "usage: readersim [options]\n"
           "  A simulated UHF reader on a pseudo-terminal. Prints the port to open on the first\n"
           "  line of its output and runs until SIGINT or SIGTERM.\n"
           "  --baud N            the reader's working rate (default 9600)\n"
           "  --tags ID,ID,...    the tags it reports, 16 hexadecimal digits each\n"
           "  --tag-count N       report N generated tags instead (default 5)\n"
           "  --tag-rate N        tag reports a second while working (default 4)\n"
           "  --working           report tags from the start, as a reader just powered up\n"
           "  --state FILE        load the parameter memory from FILE, save it after every write\n"
           "  --firmware-out FILE write the image of a completed upgrade to FILE\n"
           "  --link PATH         make PATH a symlink to the port\n"
           "  --seed N            seed of the noise bytes (default 1)\n"
           "  --turnaround-ms N   time the reader takes before it answers (default 2)\n"
           "  --frame-writes      hand each frame over whole when its last byte has left\n"
           "  --spin-us N         poll for the last N us before each due byte (timing precision)\n"
           "  -v, --verbose       log every frame received and sent to stderr, time-stamped\n"
           "  -vv                 log every read and write of the terminal as well\n"
           "faults:\n"
           "  --drop-every N      lose every Nth reply\n"
           "  --delay-ms D        answer D ms later\n"
           "  --corrupt-every N   alter one byte in N of everything sent\n"
           "  --silent-after N    send nothing at all after answering N frames\n"
           "  --garbage N         send N bytes of noise before each reply\n"
           "  --ack88             answer Stop, Resume and WriteBlock with E0 04 88 88 88 84\n"
           "  --split N           send each reply in N writes, 10 ms apart\n";
}

std::optional<SimOptions> SimOptions::Parse(const std::vector<std::string>& args,
                                            std::string& error) {
    SimOptions options;
    bool tagsGiven = false;
    bool countGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = arg + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](int low, int high, int& out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!ParseInt(text, low, high, out)) {
                error = arg + " takes a number from " + std::to_string(low) + " to " +
                        std::to_string(high) + ", not '" + text + "'";
                return false;
            }
            return true;
        };
        bool ok = true;
        SimFaults& faults = options.config.faults;
        if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "-v" || arg == "--verbose") {
            ++options.verbosity;
        } else if (arg == "-vv") {
            options.verbosity += 2;
        } else if (arg == "--spin-us") {
            ok = number(0, 5000, options.spinUs);
        } else if (arg == "--frame-writes") {
            options.config.frameWrites = true;
        } else if (arg == "--working") {
            options.startWorking = true;
        } else if (arg == "--ack88") {
            faults.ack88 = true;
        } else if (arg == "--baud") {
            ok = number(1, 4000000, options.config.workingBaud);
            if (ok && !IsStandardBaud(options.config.workingBaud)) {
                error = "--baud takes a standard rate such as 9600 or 115200";
                ok = false;
            }
        } else if (arg == "--tags") {
            std::string text;
            ok = value(text);
            if (ok) {
                std::optional<std::vector<TagId>> ids = TagPopulation::ParseList(text, error);
                ok = ids.has_value();
                if (ok) {
                    options.config.tags = std::move(*ids);
                    tagsGiven = true;
                }
            }
        } else if (arg == "--tag-count") {
            int count = 0;
            ok = number(1, 10000, count);
            if (ok) {
                options.config.tags = TagPopulation::Generate(count);
                countGiven = true;
            }
        } else if (arg == "--turnaround-ms") {
            ok = number(0, 1000, options.config.turnaroundMs);
        } else if (arg == "--tag-rate") {
            ok = number(0, 1000, options.config.tagRate);
        } else if (arg == "--seed") {
            int seed = 0;
            ok = number(0, 2147483647, seed);
            options.config.seed = static_cast<std::uint32_t>(seed);
        } else if (arg == "--state") {
            ok = value(options.statePath);
        } else if (arg == "--firmware-out") {
            ok = value(options.firmwarePath);
        } else if (arg == "--link") {
            ok = value(options.linkPath);
        } else if (arg == "--drop-every") {
            ok = number(1, 1000000, faults.dropEvery);
        } else if (arg == "--delay-ms") {
            ok = number(0, 60000, faults.delayMs);
        } else if (arg == "--corrupt-every") {
            ok = number(1, 1000000, faults.corruptEvery);
        } else if (arg == "--silent-after") {
            ok = number(0, 1000000, faults.silentAfter);
        } else if (arg == "--garbage") {
            ok = number(0, 1000, faults.garbageBytes);
        } else if (arg == "--split") {
            ok = number(1, 64, faults.splitParts);
        } else {
            error = "unknown option '" + arg + "'";
            ok = false;
        }
        if (!ok) {
            return std::nullopt;
        }
        if (tagsGiven && countGiven) {
            error = "--tags and --tag-count exclude each other";
            return std::nullopt;
        }
        if ((arg == "--state" || arg == "--firmware-out" || arg == "--link") && args[i].empty()) {
            error = arg + " needs a file name";
            return std::nullopt;
        }
    }
    return options;
}

}  // namespace uhf
