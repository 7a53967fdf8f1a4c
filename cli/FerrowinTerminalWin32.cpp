#include <io.h>
#include <stdio.h>

#include "cli/FerrowinTerminal.h"

namespace uhf {

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

std::string PortPathAsGiven(const std::string& port) {
    return port;
}

}  // namespace uhf
