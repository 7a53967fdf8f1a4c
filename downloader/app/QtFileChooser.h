#pragma once

#include "downloader/app/FileChooser.h"

namespace uhf {

// The file dialog in its save form, as the tool has always offered it: default suffix ".bin",
// the one filter "bin(*.bin)", no initial file name.
class QtFileChooser : public FileChooser {
  public:
    std::optional<QString> ChooseFirmware(QWidget* parent) override;
};

}  // namespace uhf
