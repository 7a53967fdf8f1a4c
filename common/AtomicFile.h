#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "common/CommonError.h"

namespace uhf {

// The platform's file calls behind the settings file: a small file read whole, and a write
// that builds the new contents beside the file and then puts them in its place in one step,
// so that a crash in the middle leaves the old file whole. POSIX renames; Windows replaces
// with ReplaceFileW, or moves with MoveFileExW and write-through when there is nothing to
// replace.
class AtomicFile {
  public:
    struct Contents {
        bool exists = false;
        std::string bytes;
        CommonError error = CommonError::None;
    };

    // The whole file; exists is false when it is missing. A file larger than maxSize, a folder
    // or a file that cannot be read is an error.
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
};

}  // namespace uhf
