#include "readersim/SimOptions.h"

#include "serial/PosixSpeed.h"
#include "sim/TagPopulation.h"
#include "toolsupport/ArgumentReader.h"

namespace uhf {

namespace {

bool ParseInt(const std::string& text, int low, int high, int& value) {
    const std::optional<int> parsed = ArgumentReader::Integer(text);
    if (!parsed || *parsed < low || *parsed > high) {
        return false;
    }
    value = *parsed;
    return true;
}

}  // namespace

const char* SimOptions::Usage() {
    return "usage: readersim [options]\n"
           "  A simulated UHF reader on a pseudo-terminal. Prints the port to open on the first\n"
           "  line of its output and runs until SIGINT or SIGTERM; SIGUSR1 mends the line (no\n"
           "  more dropped, delayed, corrupted, noisy or split replies).\n"
           "  --baud N            the reader's working rate (default 9600)\n"
           "  --tags ID,ID,...    the tags it reports, 16 hexadecimal digits each\n"
           "  --tag-count N       report N generated tags instead (default 5)\n"
           "  --tag-rate N        tag reports a second while working (default 4)\n"
           "  --working           report tags from the start, as a reader just powered up\n"
           "  --ignore-while-working  answer nothing but Stop and Resume while reporting tags\n"
           "  --loader            start in the upgrade loader, as a reader whose download was\n"
           "                      cut off: it answers only the upgrade's frames, at --baud\n"
           "  --state FILE        load the parameter memory from FILE, save it after every write\n"
           "  --firmware-out FILE write the image of a completed upgrade to FILE\n"
           "  --link PATH         make PATH a symlink to the port\n"
           "  --seed N            seed of the noise bytes (default 1)\n"
           "  --turnaround-ms N   time the reader takes before it answers (default 2)\n"
           "  --frame-writes      hand each frame over whole when its last byte has left\n"
           "  --spin-us N         poll for the last N us before each due byte (timing precision)\n"
           "  --trace FILE        write every frame on the line to FILE, as the tools' --trace\n"
           "  -v, --verbose       the same trace on stderr, with what the reader made of each\n"
           "                      frame\n"
           "  -vv                 every read and write of the terminal as well\n"
           "faults:\n"
           "  --drop-every N      lose every Nth reply\n"
           "  --delay-ms D        answer D ms later\n"
           "  --corrupt-every N   alter one byte in N of everything sent\n"
           "  --silent-after N    send nothing at all after answering N frames\n"
           "  --garbage N         send N bytes of noise before each reply\n"
           "  --ack88             answer Stop, Resume and WriteBlock with E0 04 88 88 88 84\n"
           "  --split N           send each reply in N writes, 10 ms apart\n"
           "  --ignore-write A    acknowledge a block write at address A but keep the old values\n";
}

std::optional<SimOptions> SimOptions::Parse(const std::vector<std::string>& args,
                                            std::string& error) {
    SimOptions options;
    SimConfig& config = options.config;
    SimFaults& faults = options.config.faults;
    bool tagsGiven = false;
    bool countGiven = false;
    using Apply = ArgumentReader::Apply;
    const auto number = [](int low, int high, int& out) -> Apply {
        return
            [low, high, &out](const std::string& name, const std::string& value, std::string& why) {
                if (!ParseInt(value, low, high, out)) {
                    why = name + " takes a number from " + std::to_string(low) + " to " +
                          std::to_string(high) + ", not '" + value + "'";
                    return false;
                }
                return true;
            };
    };
    int tagCount = 0;
    int seed = 0;
    const std::vector<ArgumentReader::Option> table{
        ArgumentReader::Flag({"-h", "--help"}, options.help),
        {{"-v", "--verbose", "-vv"},
         false,
         [&](const std::string& name, const std::string&, std::string&) {
             options.verbosity += name == "-vv" ? 2 : 1;
             return true;
         }},
        {{"--spin-us"}, true, number(0, 5000, options.spinUs)},
        ArgumentReader::Text({"--trace"}, options.tracePath, "--trace needs the name of a file"),
        ArgumentReader::Flag({"--frame-writes"}, config.frameWrites),
        ArgumentReader::Flag({"--working"}, options.startWorking),
        ArgumentReader::Flag({"--ignore-while-working"}, config.ignoreWhileWorking),
        ArgumentReader::Flag({"--loader"}, options.startInLoader),
        ArgumentReader::Flag({"--ack88"}, faults.ack88),
        {{"--baud"},
         true,
         [&](const std::string& name, const std::string& value, std::string& why) {
             if (!number(1, 4000000, config.workingBaud)(name, value, why)) {
                 return false;
             }
             // Any rate our ports can be set to, wider than the reader's five on purpose: the
             // reader at a rate the tools do not offer is one of the benches to try.
             if (!SpeedForBaud(config.workingBaud)) {
                 why = "--baud takes a standard rate such as 9600 or 115200";
                 return false;
             }
             return true;
         }},
        {{"--tags"},
         true,
         [&](const std::string&, const std::string& value, std::string& why) {
             std::optional<std::vector<TagId>> ids = TagPopulation::ParseList(value, why);
             if (!ids) {
                 return false;
             }
             config.tags = std::move(*ids);
             tagsGiven = true;
             return true;
         }},
        {{"--tag-count"},
         true,
         [&](const std::string& name, const std::string& value, std::string& why) {
             if (!number(1, 10000, tagCount)(name, value, why)) {
                 return false;
             }
             config.tags = TagPopulation::Generate(tagCount);
             countGiven = true;
             return true;
         }},
        {{"--turnaround-ms"}, true, number(0, 1000, config.turnaroundMs)},
        {{"--tag-rate"}, true, number(0, 1000, config.tagRate)},
        {{"--seed"},
         true,
         [&](const std::string& name, const std::string& value, std::string& why) {
             if (!number(0, 2147483647, seed)(name, value, why)) {
                 return false;
             }
             config.seed = static_cast<std::uint32_t>(seed);
             return true;
         }},
        ArgumentReader::Text({"--state"}, options.statePath, "--state needs a file name"),
        ArgumentReader::Text({"--firmware-out"}, options.firmwarePath,
                             "--firmware-out needs a file name"),
        ArgumentReader::Text({"--link"}, options.linkPath, "--link needs a file name"),
        {{"--drop-every"}, true, number(1, 1000000, faults.dropEvery)},
        {{"--delay-ms"}, true, number(0, 60000, faults.delayMs)},
        {{"--corrupt-every"}, true, number(1, 1000000, faults.corruptEvery)},
        {{"--silent-after"}, true, number(0, 1000000, faults.silentAfter)},
        {{"--garbage"}, true, number(0, 1000, faults.garbageBytes)},
        {{"--split"}, true, number(1, 64, faults.splitParts)},
        {{"--ignore-write"}, true, number(0, 255, faults.ignoreWriteAddress)},
    };
    const ArgumentReader reader = ArgumentReader().WordUnknownOption(
        [](const std::string& name) { return "unknown option '" + name + "'"; });
    if (!reader.Read(args, table, nullptr, error)) {
        return std::nullopt;
    }
    if (options.startWorking && options.startInLoader) {
        error = "--working and --loader exclude each other";
    } else if (tagsGiven && countGiven) {
        error = "--tags and --tag-count exclude each other";
    } else {
        return options;
    }
    return std::nullopt;
}

}  // namespace uhf
