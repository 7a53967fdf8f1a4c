#include "downloader/FirmwareReader.h"

#include "common/AtomicFile.h"
#include "protocol/UpgradeFrames.h"

namespace uhf {

const char* ToString(ImageError error) {
    switch (error) {
        case ImageError::None:
            return "no error";
        case ImageError::Missing:
            return "the firmware file does not exist";
        case ImageError::Unreadable:
            return "the firmware file cannot be read";
        case ImageError::Truncated:
            return "the firmware file is shorter than its size";
        case ImageError::TooLong:
            return "the firmware file is longer than 65535 bytes";
        case ImageError::Empty:
            return "the firmware file is empty";
    }
    return "unknown firmware error";
}

ImageError FirmwareReader::Load(const std::string& path, std::vector<std::uint8_t>& image) {
    image.clear();
    // A longer image cannot be announced in the size frame: refused before it is read.
    const AtomicFile::Contents file = AtomicFile::Read(path, kMaxImageLength);
    if (file.error == FileError::Missing) {
        return ImageError::Missing;
    }
    if (file.error == FileError::TooLarge) {
        return ImageError::TooLong;
    }
    if (file.error == FileError::Truncated) {
        return ImageError::Truncated;
    }
    if (file.error != FileError::None) {
        return ImageError::Unreadable;  // no regular file, or the system refused it
    }
    // Sent, it would leave the reader waiting for firmware that never comes.
    if (file.bytes.empty()) {
        return ImageError::Empty;
    }
    image.assign(file.bytes.begin(), file.bytes.end());
    return ImageError::None;
}

}  // namespace uhf
