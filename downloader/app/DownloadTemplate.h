#pragma once

#include "widgets/DialogTemplate.h"

namespace uhf {

// The download tool's window as a table of controls in dialog units.
class DownloadTemplate {
  public:
    // Ids of the controls the window addresses; labels and the frame have none.
    enum Id {
        kPathBox = 1000,
        kLogList,
        kPortList,
        kDeviceBaudList,
        kDownloadBaudList,
        kFileButton,
        kDownloadButton,
        kExistButton,
        kProgressBar,
        kDownloadBaudLabel,
    };

    static const DialogTemplate& Get();

    // The rates both baud-rate lists offer, in list order (index 0 to 4).
    static const QStringList& BaudRates();
};

}  // namespace uhf
