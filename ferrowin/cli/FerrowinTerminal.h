#pragma once

namespace uhf {

// Whether the standard error stream is a terminal, where a redrawn progress line makes sense.
bool StderrIsTerminal();

}  // namespace uhf
