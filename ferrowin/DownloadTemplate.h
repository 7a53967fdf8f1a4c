#pragma once

#include "ferrowin/DownloadControlIds.h"
#include "ui/DialogTemplate.h"

namespace uhf {

// The download tool's window as a table of controls in dialog units, keyed by the ids of
// DownloadControlIds.
class DownloadTemplate : public DownloadControlIds {
  public:
    static const DialogTemplate& Get();
    // The about box: the icon, "Ferrowin 5.0 版", "UHF Upgrade Tool" and "确定".
    static const DialogTemplate& About();
    enum AboutId { kAboutIcon = 1, kAboutOk = 2 };

    // The rates both baud-rate lists offer, in list order (index 0 to 4).
    static const std::vector<std::string>& BaudRates();
};

}  // namespace uhf
