#pragma once

#include <string>

namespace uhf {

// The folder of the running executable, ending in a path separator.
class ExecutableFolder {
  public:
    // Empty when the platform cannot tell, so that a file name joined to it is taken from the
    // working folder.
    static std::string Find();

    // The running executable's file name without its folder (and, on Windows, without its
    // ".exe"); empty when the platform cannot tell.
    static std::string ProgramName();
};

}  // namespace uhf
