#pragma once

namespace uhf {

// Shows the wait cursor for as long as it lives, around a call that blocks the window.
class WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace uhf
