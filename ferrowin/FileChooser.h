#pragma once

#include <optional>
#include <string>

namespace uhf {

// Asks the user for the firmware file; the window's presenter is given one so tests can choose
// for the user.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // The chosen full path, or nothing when the user cancels.
    virtual std::optional<std::string> ChooseFirmware() = 0;
};

}  // namespace uhf
