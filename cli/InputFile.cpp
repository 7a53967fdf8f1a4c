#include "cli/InputFile.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "cli/ProcessSetup.h"

namespace uhf {

namespace {

// `read` gives the bytes read, 0 at the end, -1 on failure.
InputFile::Result ReadAll(const std::function<long(char*, std::size_t)>& read, std::size_t limit,
                          std::string& text, std::string& error) {
    std::string contents;
    std::array<char, 4096> chunk{};
    for (long got = 0; (got = read(chunk.data(), chunk.size())) != 0;) {
        if (got < 0) {
            error = "cannot read the file";
            return InputFile::Result::Unreadable;
        }
        contents.append(chunk.data(), static_cast<std::size_t>(got));
        if (contents.size() > limit) {
            error = "the file is larger than a parameter record can be (over " +
                    std::to_string(limit / 1024) + " KiB)";
            return InputFile::Result::TooLarge;
        }
    }
    text = std::move(contents);
    return InputFile::Result::Read;
}

}  // namespace

InputFile::Result InputFile::ReadSmall(const std::string& path, std::size_t limit,
                                       std::string& text, std::string& error) {
    if (path == "-") {
        // A stalled writer must not outlast Ctrl-C.
        const Result result = ReadAll(&ProcessSetup::ReadStandardInput, limit, text, error);
        if (result == Result::Unreadable && ProcessSetup::Interrupted()) {
            error = "stopped before the end of the input";
        }
        return result;
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
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open the file";
        if (errno != 0) {
            error += std::string(": ") + std::strerror(errno);
        }
        return Result::Unreadable;
    }
    const Result result = ReadAll(
        [file](char* buffer, std::size_t size) {
            const std::size_t got = std::fread(buffer, 1, size, file);
            return got == 0 && std::ferror(file) != 0 ? -1L : static_cast<long>(got);
        },
        limit, text, error);
    std::fclose(file);
    return result;
}

}  // namespace uhf
