#include "downloader/FirmwareReader.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <istream>
#include <system_error>
#include <utility>

#include "protocol/UpgradeFrames.h"

namespace uhf {

namespace {

std::string Why(const std::error_code& ec) {
    if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) {
        return "permission denied";
    }
    return ec.message();
}

// Only a regular file is opened: a FIFO would hold the tool up, a device would never end.
std::string WhyNotAFile(std::filesystem::file_type type) {
    switch (type) {
        case std::filesystem::file_type::directory:
            return "it is a directory";
        case std::filesystem::file_type::fifo:
            return "it is a FIFO (a named pipe), not a file";
        case std::filesystem::file_type::character:
        case std::filesystem::file_type::block:
            return "it is a device, not a file";
        case std::filesystem::file_type::socket:
            return "it is a socket, not a file";
        default:
            return "it is not a regular file";
    }
}

}  // namespace

TransferError FirmwareReader::Load(const std::string& path, std::vector<std::uint8_t>& image,
                                   std::string* reason) {
    image.clear();
    std::string why;
    const auto unreadable = [&] {
        if (reason != nullptr) {
            *reason = why;
        }
        return TransferError::FirmwareUnreadable;
    };
    std::error_code ec;
    const std::filesystem::path file(path);
    const auto status = std::filesystem::status(file, ec);
    if (status.type() == std::filesystem::file_type::not_found) {
        return TransferError::FirmwareMissing;
    }
    if (ec) {
        why = Why(ec);
        return unreadable();
    }
    if (!std::filesystem::is_regular_file(status)) {
        why = WhyNotAFile(status.type());
        return unreadable();
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        why = Why(ec);
        return unreadable();
    }
    // Refuse before reading: a longer image cannot be announced in the size frame.
    if (size > static_cast<std::uintmax_t>(kMaxImageLength)) {
        return TransferError::FirmwareTooLong;
    }
    // Sent, it would leave the reader waiting for firmware that never comes.
    if (size == 0) {
        return TransferError::FirmwareEmpty;
    }
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    if (!in.is_open()) {
        why = errno != 0 ? Why(std::error_code(errno, std::generic_category()))
                         : "it cannot be opened";
        return unreadable();
    }
    const TransferError error = Read(in, size, image);
    if (error == TransferError::FirmwareUnreadable) {
        why = "reading it failed";
        return unreadable();
    }
    return error;
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
