#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/CommonError.h"

namespace uhf {

// One INI settings file, read and written with the rules of the Windows private-profile
// functions (they are on ProfileText), by our own code on every platform: those functions
// are not atomic, and other implementations of them rewrite whole files. The file is read
// whole; a write puts the new contents beside it and then in its place in one step
// (AtomicFile), so that a crash in the middle of a write leaves the old file whole, and the
// file keeps its owner and permissions. A file the user may not write (read-only) is left
// untouched. Section names, keys and values are bytes, stored as given.
class ProfileFile {
  public:
    // Largest file that is read or rewritten; a settings file is a few hundred bytes.
    static constexpr std::size_t kMaxFileSize = 1024 * 1024;

    explicit ProfileFile(std::string path);

    // The key's value, or defaultValue when the key, its section or the file is missing,
    // cut to bufferSize - 1 bytes as a read into a buffer of that size would be.
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t bufferSize);

    // Sets the key's value, creating the section and the file when needed. Returns false when
    // the file was left as it was; LastError says why.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Reads a section spelled `other` as the section `canonical`; a write rewrites such a
    // section's header as `canonical`. For a section name saved in another encoding.
    void AddSectionSpelling(std::string canonical, std::string other);

    CommonError LastError() const { return lastError; }
    const std::string& Path() const { return path; }
    void SetPath(std::string newPath) { path = std::move(newPath); }

    // Called when the new contents lie complete beside the file, just before they replace
    // it; returning false stops the write there, as a crash would. For tests.
    void SetBeforeReplaceHook(std::function<bool(const std::string& tempPath)> hook);

  private:
    std::string path;
    CommonError lastError = CommonError::None;
    std::function<bool(const std::string&)> beforeReplace;
    std::vector<std::pair<std::string, std::string>> spellings;
};

}  // namespace uhf
