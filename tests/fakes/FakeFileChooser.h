#pragma once

#include <optional>
#include <string>

#include "ferrowin/FileChooser.h"

namespace uhf {

// Answers the file dialog as the test says: a path, or a cancel when none is set.
class FakeFileChooser : public FileChooser {
  public:
    std::optional<std::string> ChooseFirmware() override {
        ++asked;
        return answer;
    }

    std::optional<std::string> answer;
    int asked = 0;
};

}  // namespace uhf
