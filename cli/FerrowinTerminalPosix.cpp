#include <unistd.h>

#include "cli/FerrowinTerminal.h"

namespace uhf {

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::string PortPathAsGiven(const std::string& port) {
    if (port.empty() || port[0] == '/' || port.rfind("./", 0) == 0 || port.rfind("../", 0) == 0) {
        return port;
    }
    return "./" + port;
}

}  // namespace uhf
