#include "cli/InputFile.h"

#include <utility>

#include "common/AtomicFile.h"

namespace uhf {

bool InputFile::ReadSmall(const std::string& path, std::size_t limit, std::string& text,
                          std::string& error) {
    AtomicFile::Contents file =
        path == "-" ? AtomicFile::ReadStandardInput(limit) : AtomicFile::Read(path, limit);
    if (file.error == FileError::TooLarge) {
        error = "the file is larger than a parameter record can be";
        return false;
    }
    if (file.error != FileError::None) {
        error = "cannot open the file: " + Reason(file);
        return false;
    }
    text = std::move(file.bytes);
    return true;
}

}  // namespace uhf
