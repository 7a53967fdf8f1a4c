#pragma once

#include "ferrowin/FileChooser.h"

namespace uhf {

// The firmware file through the common file dialog in its save form, as the download window
// has always asked: default extension ".bin", the one filter "bin(*.bin)", read-only box hidden.
class Win32FileChooser : public FileChooser {
  public:
    // Owned by the window active when it is asked, the download window.
    std::optional<std::string> ChooseFirmware() override;
};

}  // namespace uhf
