#pragma once

#include <string>
#include <vector>

#include "serial/TraceLog.h"

namespace uhf {

// A window's `--trace FILE` (or `--trace=FILE`), taken out of its arguments, which are otherwise
// the ports it names: `trace` then writes every line to FILE too. False, with the reason in
// `error`, for a --trace without a file or a file that cannot be opened.
bool TakeTraceOption(std::vector<std::string>& args, TraceLog& trace, std::string& error);

}  // namespace uhf
