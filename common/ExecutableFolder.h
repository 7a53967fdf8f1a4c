#pragma once

#include <string>

namespace uhf {

// The folder of the running executable, ending in a path separator.
class ExecutableFolder {
  public:
    // Empty when the platform cannot tell, so that a file name joined to it is taken from the
    // working folder.
    static std::string Find();
};

}  // namespace uhf
