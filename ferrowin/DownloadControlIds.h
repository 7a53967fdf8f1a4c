#pragma once

namespace uhf {

// Identifiers of the download window's controls, the keys by which its presenter addresses them
// in every toolkit; labels and the frame have none.
struct DownloadControlIds {
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
};

}  // namespace uhf
