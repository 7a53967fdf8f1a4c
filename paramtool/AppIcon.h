#pragma once

#include <QIcon>

namespace uhf {

// The application icon of Tesmarle, large (32 px) and small (16 px): a tag under a reader's
// waves, drawn here so that the program carries no image files.
QIcon AppIcon();

}  // namespace uhf
