#include <io.h>
#include <stdio.h>

#include "cli/FerrowinTerminal.h"

namespace uhf {

bool StderrIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

}  // namespace uhf
