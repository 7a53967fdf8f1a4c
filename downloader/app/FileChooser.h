#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace uhf {

// Asks the user for the firmware file; the window is given one so tests can choose for the user.
class FileChooser {
  public:
    virtual ~FileChooser() = default;
    // The chosen full path, or nothing when the user cancels.
    virtual std::optional<QString> ChooseFirmware(QWidget* parent) = 0;
};

}  // namespace uhf
