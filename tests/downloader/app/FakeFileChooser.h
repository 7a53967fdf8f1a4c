#pragma once

#include <optional>

#include "downloader/app/FileChooser.h"

namespace uhf {

// Answers the file dialog as the test says: a path, or a cancel when none is set.
class FakeFileChooser : public FileChooser {
  public:
    std::optional<QString> ChooseFirmware(QWidget*) override {
        ++asked;
        return answer;
    }

    std::optional<QString> answer;
    int asked = 0;
};

}  // namespace uhf
