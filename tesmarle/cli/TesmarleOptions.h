#pragma once

#include <optional>
#include <string>
#include <vector>

#include "protocol/ParamFields.h"

namespace uhf {

enum class TesmarleAction { None, Help, Read, Write, Resume, Tags, Ports, Doctor, Check, Diff };

enum class TesmarleFormat { Text, Json, Csv };

// `-b auto`.
inline constexpr int kAutoBaud = 0;

// The command line of tesmarle-cli, checked and turned into values.
struct TesmarleOptions {
    TesmarleAction action = TesmarleAction::None;
    std::string port;                // the first of `ports`
    std::vector<std::string> ports;  // -p as often as given; several for write and check
    int baudRate = 9600;             // kAutoBaud: found by asking the reader at each rate
    TesmarleFormat format = TesmarleFormat::Text;
    std::vector<ParamChange> changes;  // from options, in the order given
    std::string fromFile;              // write --from
    std::optional<double> seconds;     // tags --seconds
    bool stats = false;                // tags --stats: per tag and overall counts and rates
    bool verify = true;                // write: read the record back and compare
    bool onlyDifferences = false;      // write: only the blocks that differ from the reader's
    std::vector<std::string> files;    // diff A B
    std::string reportFile;            // --report: one JSON line per reader and command
    std::string traceFile;             // --trace: every frame on the line, "-" standard error
    bool verbose = false;              // -v: the trace's last lines under a failure
    bool loaderProbe = false;          // doctor --loader: also ask with the download tool's probe
};

// Parses the arguments after the program name. On a usage error returns false and sets `error`
// to a message that names the option and what it accepts.
bool ParseTesmarleArgs(const std::vector<std::string>& args, TesmarleOptions& options,
                       std::string& error);

// The usage text printed by --help and after a usage error.
std::string TesmarleUsage();

}  // namespace uhf
