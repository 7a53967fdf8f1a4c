#include <io.h>
#include <stdio.h>

#include "ferrowin/cli/FerrowinTerminal.h"

namespace uhf {

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace uhf
