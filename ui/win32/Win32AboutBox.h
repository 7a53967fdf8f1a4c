#pragma once

#include "ui/win32/Win32Dialog.h"

namespace uhf {

// A program's about box from its table: the program's icon in the icon control, and an OK
// button (Enter and Esc too) that closes it.
class Win32AboutBox : public Win32Dialog {
  public:
    Win32AboutBox(const DialogTemplate& table, int iconId, int okId);

  protected:
    void OnInit() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    int iconId_;
    int okId_;
};

}  // namespace uhf
