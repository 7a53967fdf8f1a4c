#pragma once

#include <string>

namespace uhf {

// Whether the standard error stream is a terminal, where a redrawn progress line makes sense.
bool StderrIsTerminal();

// The port named on the command line in a form the serial control opens as it was given. Qt
// SerialPort looks for a bare name such as "reader" under /dev; a relative path is meant from the
// working folder, as tesmarle-cli opens it. COM names on Windows pass unchanged.
std::string PortPathAsGiven(const std::string& port);

}  // namespace uhf
