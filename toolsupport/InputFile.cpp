#include "toolsupport/InputFile.h"

#include <utility>

#include "toolsupport/ProcessSetup.h"
#include "common/AtomicFile.h"

namespace uhf {

InputFile::Result InputFile::ReadSmall(const std::string& path, std::size_t limit,
                                       std::string& text, std::string& error) {
    AtomicFile::Contents file;
    if (path == "-") {
        // A stalled writer must not outlast Ctrl-C.
        file = AtomicFile::ReadChunks(
            [](char* buffer, std::size_t room, std::string& why) {
                const long got = ProcessSetup::ReadStandardInput(buffer, room);
                if (got < 0) {
                    why = ProcessSetup::Interrupted() ? "stopped before the end of the input"
                                                      : "cannot read the standard input";
                }
                return got;
            },
            std::nullopt, limit);
    } else {
        file = AtomicFile::Read(path, limit);
    }
    if (file.error == FileError::TooLarge) {
        error = "the file is larger than a parameter record can be (over " +
                std::to_string(limit / 1024) + " KiB)";
        return Result::TooLarge;
    }
    if (file.error != FileError::None) {
        error = path == "-" ? file.detail : "cannot open the file: " + Reason(file);
        return Result::Unreadable;
    }
    text = std::move(file.bytes);
    return Result::Read;
}

}  // namespace uhf
