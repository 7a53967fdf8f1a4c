#pragma once

#include <string>

namespace uhf {

// What Qt SerialPort does not do for us, on the platform's own handle of an open port: the
// exclusive lock our other tools take, and the checks that tell a vanished device and a path
// that is no serial line from other failures. One source file per platform.
class PortHandleChecks {
  public:
    // Takes the advisory lock that our other tools take besides TIOCEXCL (which root passes);
    // false when another program holds it.
    static bool Lock(long long handle);

    // False for a path that opens but is no serial line (/dev/null, a regular file).
    static bool IsSerialLine(const std::string& path);

    // True once the device behind an open handle has gone away.
    static bool HasHungUp(long long handle);
};

}  // namespace uhf
