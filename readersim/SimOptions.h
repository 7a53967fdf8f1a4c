#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/SimConfig.h"

namespace uhf {

// What `readersim` was asked for on its command line.
struct SimOptions {
    SimConfig config;
    bool startWorking = false;   // report tags from the start, as a reader just powered up
    bool startInLoader = false;  // only the upgrade's frames are answered, as after a cut-off one
    std::string statePath;       // parameter memory kept here across runs
    std::string firmwarePath;    // the image of a completed upgrade is written here
    std::string linkPath;        // a symlink to the pseudo-terminal's slave
    int spinUs = 0;              // poll instead of sleeping this long before each due event
    std::string tracePath;       // every frame on the line, in the tools' trace format
    int verbosity = 0;           // 1: the trace and the reader's notes on stderr; 2: raw reads too
    bool help = false;

    // Reads the arguments after the program name. Nothing, with the reason in `error`, when an
    // option is unknown, lacks its value or has one out of range.
    static std::optional<SimOptions> Parse(const std::vector<std::string>& args,
                                           std::string& error);
    static const char* Usage();
};

}  // namespace uhf
