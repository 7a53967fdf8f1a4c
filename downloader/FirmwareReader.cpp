#include "downloader/FirmwareReader.h"

#include <filesystem>
#include <fstream>
#include <istream>
#include <system_error>
#include <utility>

#include "protocol/UpgradeFrames.h"

namespace uhf {

TransferError FirmwareReader::Load(const std::string& path, std::vector<std::uint8_t>& image) {
    image.clear();
    std::error_code ec;
    const std::filesystem::path file(path);
    const auto status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return TransferError::FirmwareMissing;
    }
    if (ec || !std::filesystem::is_regular_file(status)) {
        return TransferError::FirmwareUnreadable;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        return TransferError::FirmwareUnreadable;
    }
    // Refuse before reading: a longer image cannot be announced in the size frame.
    if (size > static_cast<std::uintmax_t>(kMaxImageLength)) {
        return TransferError::FirmwareTooLong;
    }
    // Sent, it would leave the reader waiting for firmware that never comes.
    if (size == 0) {
        return TransferError::FirmwareEmpty;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) {
        return TransferError::FirmwareUnreadable;
    }
    return Read(in, size, image);
}

TransferError FirmwareReader::Read(std::istream& in, std::uintmax_t expectedSize,
                                   std::vector<std::uint8_t>& image) {
    image.clear();
    if (expectedSize > static_cast<std::uintmax_t>(kMaxImageLength)) {
        return TransferError::FirmwareTooLong;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(expectedSize));
    if (!bytes.empty()) {
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (in.bad()) {
            return TransferError::FirmwareUnreadable;
        }
        if (static_cast<std::uintmax_t>(in.gcount()) != expectedSize) {
            return TransferError::FirmwareTruncated;
        }
    }
    // A file that grew since its size was taken keeps the announced length: the extra bytes
    // were never part of the image the user chose.
    image = std::move(bytes);
    return TransferError::None;
}

}  // namespace uhf
