#pragma once

#include <QIcon>
#include <QPixmap>

namespace uhf {

// The application icon of Tesmarle, large (32 px) and small (16 px): a tag under a reader's
// waves, drawn here so that the program carries no image files.
QIcon AppIcon();

// The same drawing at any size, for the icon files of the desktop's menu.
QPixmap DrawAppIcon(int size);

}  // namespace uhf
