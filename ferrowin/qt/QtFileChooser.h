#pragma once

#include <QPointer>
#include <QWidget>

#include "ferrowin/FileChooser.h"

namespace uhf {

// The file dialog in its save form, as the tool has always offered it: default suffix ".bin",
// the one filter "bin(*.bin)", no initial file name.
class QtFileChooser : public FileChooser {
  public:
    // The window the dialog is modal to.
    void SetParent(QWidget* parent) { parent_ = parent; }
    std::optional<std::string> ChooseFirmware() override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace uhf
