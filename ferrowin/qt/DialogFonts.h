#pragma once

namespace uhf {

// The windows ask for "宋体" (SimSun). Where that face is not installed, Qt is told which
// installed CJK face stands in for it, so that Latin and Chinese texts come from one face.
class DialogFonts {
  public:
    static void InstallSubstitutes();
};

}  // namespace uhf
