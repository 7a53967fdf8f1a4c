#include "cli/InputFile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace uhf {

namespace {

InputFile::Result ReadStream(std::istream& in, std::size_t limit, std::string& text,
                             std::string& error) {
    std::string contents;
    std::array<char, 4096> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        contents.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (contents.size() > limit) {
            error = "the file is larger than a parameter record can be (over " +
                    std::to_string(limit / 1024) + " KiB)";
            return InputFile::Result::TooLarge;
        }
    }
    if (in.bad()) {
        error = "cannot read the file";
        return InputFile::Result::Unreadable;
    }
    text = std::move(contents);
    return InputFile::Result::Read;
}

}  // namespace

InputFile::Result InputFile::ReadSmall(const std::string& path, std::size_t limit,
                                       std::string& text, std::string& error) {
    if (path == "-") {
        return ReadStream(std::cin, limit, text, error);
    }
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(path, code);
    if (code) {
        error = "cannot open the file: " + code.message();
        return Result::Unreadable;
    }
    if (std::filesystem::is_directory(status)) {
        error = "cannot open the file: it is a directory";
        return Result::Unreadable;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = "cannot open the file: it is not a regular file";
        return Result::Unreadable;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open the file";
        if (errno != 0) {
            error += std::string(": ") + std::strerror(errno);
        }
        return Result::Unreadable;
    }
    return ReadStream(file, limit, text, error);
}

}  // namespace uhf
