#include "downloader/FirmwareReader.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <system_error>
#include <utility>

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
    std::error_code ec;
    const std::filesystem::path file(path);
    const auto status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return ImageError::Missing;
    }
    if (ec || !std::filesystem::is_regular_file(status)) {
        return ImageError::Unreadable;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        return ImageError::Unreadable;
    }
    // Refuse before reading: a longer image cannot be announced in the size frame.
    if (size > static_cast<std::uintmax_t>(kMaxImageLength)) {
        return ImageError::TooLong;
    }
    // Sent, it would leave the reader waiting for firmware that never comes.
    if (size == 0) {
        return ImageError::Empty;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) {
        return ImageError::Unreadable;
    }
    return Read(in, size, image);
}

ImageError FirmwareReader::Read(std::istream& in, std::uintmax_t expectedSize,
                                std::vector<std::uint8_t>& image) {
    image.clear();
    if (expectedSize > static_cast<std::uintmax_t>(kMaxImageLength)) {
        return ImageError::TooLong;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(expectedSize));
    if (!bytes.empty()) {
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (in.bad()) {
            return ImageError::Unreadable;
        }
        if (static_cast<std::uintmax_t>(in.gcount()) != expectedSize) {
            return ImageError::Truncated;
        }
    }
    // A file that grew since its size was taken keeps the announced length: the extra bytes
    // were never part of the image the user chose.
    image = std::move(bytes);
    return ImageError::None;
}

}  // namespace uhf
