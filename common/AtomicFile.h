#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "common/CommonError.h"

namespace uhf {

// Why a file could not be read whole.
enum class FileError {
    None,
    Missing,     // nothing at the path
    NotRegular,  // a directory, a FIFO, a device or a socket: never opened, it may never end
    TooLarge,    // more bytes than the caller takes
    Truncated,   // it ended before the size it had when opened: it was being rewritten
    Unreadable,  // the system refused to open or read it
};

// The platform's whole-file calls, for every file the programs read or write whole (settings,
// parameter records, firmware images, the simulator's state): a file read whole, and a write that
// builds the new contents beside the file and then puts them in its place in one step, so that a
// crash in the middle leaves the old file whole. POSIX renames; Windows replaces with
// ReplaceFileW, or moves with MoveFileExW and write-through when there is nothing to replace.
class AtomicFile {
  public:
    struct Contents {
        std::string bytes;
        FileError error = FileError::None;
        // What the error is about: "a directory", "a FIFO", "a device" or "a socket" for
        // NotRegular, the limit for TooLarge, the system's own words for Missing and Unreadable.
        std::string detail;

        bool Exists() const { return error != FileError::Missing; }
    };

    // The whole file, as large as it was when opened. Only a regular file is opened, so that a
    // FIFO without a writer or a device cannot hold the caller up.
    static Contents Read(const std::string& path, std::size_t maxSize);

    // The file a write to path changes: a symbolic link's target, so that the link stays.
    static std::string ResolveTarget(const std::string& path);

    // False for an existing file that is read-only, or that this user may not write (even
    // where the system would let an administrator write it anyway). True for a missing file.
    static bool MayWrite(const std::string& path);

    // Whether new files can be made in folder ("" is the working folder). Nothing is left
    // behind.
    static bool FolderWritable(const std::string& folder);

    // Puts bytes in place of path, keeping an existing file's owner and permissions.
    // beforeReplace, when given, is called with the complete new file's path just before it
    // replaces the old one; returning false stops the write there, as a crash would.
    static CommonError Replace(const std::string& path, const std::string& bytes,
                               const std::function<bool(const std::string&)>& beforeReplace);

    // Reads up to `room` bytes into `buffer`: how many, 0 at the end, or -1 with the system's
    // words in `error`.
    using ChunkReader = std::function<long(char* buffer, std::size_t room, std::string& error)>;

    // Reads chunks to the end (standard input, say), or to `size` bytes when the size is known:
    // more than maxSize bytes is TooLarge, an end before `size` Truncated.
    static Contents ReadChunks(const ChunkReader& readChunk, std::optional<std::size_t> size,
                               std::size_t maxSize);

#ifdef _WIN32
    // How Replace puts the finished file in place on Windows: `place` returns 0 or the system's
    // error code, `pause` waits between tries. Tests put steps here that fail as Windows does
    // while another program holds the file.
    struct WindowsPlacing {
        std::function<unsigned long(const std::wstring& target, const std::wstring& replacement)>
            place;
        std::function<void(unsigned long milliseconds)> pause;
    };
    static WindowsPlacing placing;
#endif
};

// Why a read failed, in words that follow the file's name: "it is a directory", "it is a FIFO",
// "it is larger than 65535 bytes", "Permission denied". Empty for a read that did not fail.
std::string Reason(const AtomicFile::Contents& contents);

}  // namespace uhf
