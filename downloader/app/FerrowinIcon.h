#pragma once

#include <QIcon>

namespace uhf {

// The download tool's icon, drawn in code: a reader chip with a downward arrow.
class FerrowinIcon {
  public:
    static QIcon Create();
};

}  // namespace uhf
