#include "cli/InputFile.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

namespace uhf {

namespace {

bool ReadStream(std::istream& in, std::size_t limit, std::string& text, std::string& error) {
    std::string contents;
    std::array<char, 4096> chunk{};
    while (in.read(chunk.data(), chunk.size()) || in.gcount() > 0) {
        contents.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        if (contents.size() > limit) {
            error = "the file is larger than a parameter record can be";
            return false;
        }
    }
    if (in.bad()) {
        error = "cannot read the file";
        return false;
    }
    text = std::move(contents);
    return true;
}

}  // namespace

bool InputFile::ReadSmall(const std::string& path, std::size_t limit, std::string& text,
                          std::string& error) {
    if (path == "-") {
        return ReadStream(std::cin, limit, text, error);
    }
    std::error_code code;
    const std::filesystem::file_status status = std::filesystem::status(path, code);
    if (code) {
        error = "cannot open the file: " + code.message();
        return false;
    }
    if (std::filesystem::is_directory(status)) {
        error = "cannot open the file: it is a directory";
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = "cannot open the file: it is not a regular file";
        return false;
    }
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open the file";
        if (errno != 0) {
            error += std::string(": ") + std::strerror(errno);
        }
        return false;
    }
    return ReadStream(file, limit, text, error);
}

}  // namespace uhf
