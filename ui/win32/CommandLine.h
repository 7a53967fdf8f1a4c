#pragma once

#include <string>
#include <vector>

namespace uhf {

// The program's arguments after its own name, as UTF-8: the windows take port names this way.
std::vector<std::string> CommandLineArguments();

}  // namespace uhf
