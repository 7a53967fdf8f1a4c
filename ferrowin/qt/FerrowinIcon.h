#pragma once

#include <QIcon>
#include <QPixmap>

namespace uhf {

// The download tool's icon, drawn in code: a reader chip with a downward arrow.
class FerrowinIcon {
  public:
    static QIcon Create();
    // The same drawing at any size, for the icon files of the desktop's menu.
    static QPixmap Draw(int size);
};

}  // namespace uhf
