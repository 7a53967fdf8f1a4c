#pragma once

#include "downloader/app/DownloadControlIds.h"
#include "widgets/DialogTemplate.h"

namespace uhf {

// The download tool's window as a table of controls in dialog units, keyed by the ids of
// DownloadControlIds.
class DownloadTemplate : public DownloadControlIds {
  public:
    static const DialogTemplate& Get();

    // The rates both baud-rate lists offer, in list order (index 0 to 4).
    static const std::vector<std::string>& BaudRates();
};

}  // namespace uhf
