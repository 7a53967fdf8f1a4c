#pragma once

#include <cstddef>
#include <string>

namespace uhf {

// A small input file named on a command line, read whole.
class InputFile {
  public:
    enum class Result {
        Read,
        Unreadable,  // missing, not a regular file, or a read that failed
        TooLarge,    // more than the limit: whatever it is, it is not what was asked for
    };

    // Reads `path` ("-" is standard input) into `text`. Only a regular file is opened, so that a
    // FIFO with no writer or a device cannot hold the tool up, and standard input is given up
    // when a stop request comes (Ctrl-C); more than `limit` bytes is refused.
    // Anything but Read comes with the reason in `error` ("cannot open the file: ...", ...).
    static Result ReadSmall(const std::string& path, std::size_t limit, std::string& text,
                            std::string& error);
};

}  // namespace uhf
