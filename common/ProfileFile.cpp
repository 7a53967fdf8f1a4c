#include "common/ProfileFile.h"

#include <optional>
#include <utility>

#include "common/AtomicFile.h"
#include "common/ProfileText.h"

namespace uhf {

namespace {

// A missing file is an empty one, to be made by the first write.
CommonError ReadError(const AtomicFile::Contents& loaded) {
    if (loaded.error == FileError::None || loaded.error == FileError::Missing) {
        return CommonError::None;
    }
    return loaded.error == FileError::TooLarge ? CommonError::FileTooLarge
                                               : CommonError::ReadFailed;
}

}  // namespace

ProfileFile::ProfileFile(std::string filePath) : path(std::move(filePath)) {}

void ProfileFile::SetBeforeReplaceHook(std::function<bool(const std::string&)> hook) {
    beforeReplace = std::move(hook);
}

void ProfileFile::AddSectionSpelling(std::string canonical, std::string other) {
    spellings.emplace_back(std::move(canonical), std::move(other));
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize) {
    AtomicFile::Contents loaded = AtomicFile::Read(path, kMaxFileSize);
    lastError = ReadError(loaded);
    std::optional<std::string> found;
    if (loaded.error == FileError::None) {
        ProfileText text(std::move(loaded.bytes));
        for (const auto& [canonical, other] : spellings) {
            text.AddSectionSpelling(canonical, other);
        }
        found = text.Find(section, key);
    }
    std::string value = found ? std::move(*found) : std::string(ProfileText::Trim(defaultValue));
    if (bufferSize == 0) {
        return {};
    }
    if (value.size() > bufferSize - 1) {
        value.resize(bufferSize - 1);
    }
    return value;
}

bool ProfileFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
    const std::string target = AtomicFile::ResolveTarget(path);
    AtomicFile::Contents loaded = AtomicFile::Read(target, kMaxFileSize);
    if (ReadError(loaded) != CommonError::None) {
        // Rewriting a file we could not read whole would lose what we did not read.
        lastError = ReadError(loaded);
        return false;
    }
    ProfileText text(loaded.bytes);
    for (const auto& [canonical, other] : spellings) {
        text.AddSectionSpelling(canonical, other);
    }
    if (!text.Set(section, key, value)) {
        lastError = CommonError::InvalidText;
        return false;
    }
    if (loaded.Exists() && text.Bytes() == loaded.bytes) {
        lastError = CommonError::None;
        return true;
    }
    if (text.Bytes().size() > kMaxFileSize) {
        lastError = CommonError::FileTooLarge;
        return false;
    }
    if (loaded.Exists() && !AtomicFile::MayWrite(target)) {
        lastError = CommonError::ReadOnly;
        return false;
    }
    lastError = AtomicFile::Replace(target, text.Bytes(), beforeReplace);
    return lastError == CommonError::None;
}

}  // namespace uhf
