#pragma once

#include <cstddef>
#include <string>

namespace uhf {

// A small input file named on a command line, read whole.
class InputFile {
  public:
    // Reads `path` ("-" is standard input) into `text`. Only a regular file is opened, so that a
    // FIFO with no writer or a device cannot hold the tool up; more than `limit` bytes is refused.
    // False, with the reason in `error` ("cannot open the file: it is a FIFO", ...), otherwise.
    static bool ReadSmall(const std::string& path, std::size_t limit, std::string& text,
                          std::string& error);
};

}  // namespace uhf
