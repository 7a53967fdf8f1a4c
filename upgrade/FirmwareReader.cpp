#include "upgrade/FirmwareReader.h"

#include "common/AtomicFile.h"
#include "protocol/UpgradeFrames.h"

namespace uhf {

TransferError FirmwareReader::Load(const std::string& path, std::vector<std::uint8_t>& image,
                                   std::string* reason) {
    image.clear();
    // A longer image cannot be announced in the size frame: refused before it is read.
    const AtomicFile::Contents file = AtomicFile::Read(path, kMaxImageLength);
    switch (file.error) {
        case FileError::None:
            break;
        case FileError::Missing:
            return TransferError::FirmwareMissing;
        case FileError::TooLarge:
            return TransferError::FirmwareTooLong;
        case FileError::Truncated:
            return TransferError::FirmwareTruncated;
        case FileError::NotRegular:
        case FileError::Unreadable:
            if (reason != nullptr) {
                *reason = Reason(file);
            }
            return TransferError::FirmwareUnreadable;
    }
    // Sent, it would leave the reader waiting for firmware that never comes.
    if (file.bytes.empty()) {
        return TransferError::FirmwareEmpty;
    }
    image.assign(file.bytes.begin(), file.bytes.end());
    return TransferError::None;
}

}  // namespace uhf
