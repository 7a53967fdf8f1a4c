#pragma once

#include <optional>
#include <string>
#include <vector>

#include "serial/TraceLog.h"

namespace uhf {

// The command line of a window program. Before Qt starts, so that both work without a display:
// prints the version, or the usage with `about` (what the program is, indented lines), when the
// command line asks for either, and says whether it did.
bool AnswerVersionOrUsage(const char* program, const char* about, int argc, char** argv);

// Once Qt has taken its own options: the ports the command line names, with `--trace FILE`
// taken into `trace`. Nothing, with the reason on standard error ("program: reason"), for a bad
// --trace.
std::optional<std::vector<std::string>> TakeWindowArguments(const char* program, TraceLog& trace);

}  // namespace uhf
