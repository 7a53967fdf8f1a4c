#include <windows.h>

#include <utility>
#include <vector>

#include "common/ProfileFile.h"
#include "common/ProfileText.h"

namespace uhf {

ProfileFile::ProfileFile(std::string filePath) : path(std::move(filePath)) {}

void ProfileFile::SetBeforeReplaceHook(std::function<bool(const std::string&)> hook) {
    // The platform's own writer gives no point between writing and replacing.
    beforeReplace = std::move(hook);
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize) {
    lastError = CommonError::None;
    if (bufferSize == 0) {
        return {};
    }
    std::vector<char> buffer(bufferSize, '\0');
    DWORD size = bufferSize > MAXDWORD ? MAXDWORD : static_cast<DWORD>(bufferSize);
    DWORD copied = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(),
                                            buffer.data(), size, path.c_str());
    return std::string(buffer.data(), copied);
}

bool ProfileFile::WriteString(const std::string& section, const std::string& key,
                              const std::string& value) {
    if (!ProfileText::IsStorable(section, key, value)) {
        lastError = CommonError::InvalidText;
        return false;
    }
    if (!WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str())) {
        lastError = CommonError::ReplaceFailed;
        return false;
    }
    lastError = CommonError::None;
    return true;
}

}  // namespace uhf
