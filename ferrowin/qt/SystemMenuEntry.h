#pragma once

#include <QString>

class QWidget;

namespace uhf {

// An entry of the window's system menu (the menu behind the title bar's icon). Only Windows lets
// a program add to it; elsewhere the window manager owns that menu and Append reports false.
class SystemMenuEntry {
  public:
    // Appends a separator and `text` with `commandId` (a multiple of 16 below 0xF000).
    static bool Append(QWidget& window, const QString& text, int commandId);

    // Whether a native message of `eventType` is the choice of the entry `commandId`.
    static bool IsChosen(const QByteArray& eventType, void* message, int commandId);
};

}  // namespace uhf
