#include <unistd.h>

#include "ferrowin/cli/FerrowinTerminal.h"

namespace uhf {

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

}  // namespace uhf
