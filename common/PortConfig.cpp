#include "common/PortConfig.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/AtomicFile.h"
#include "common/DecimalText.h"
#include "common/ExecutableFolder.h"
#include "common/PortEnumerator.h"
#include "common/ProfileText.h"
#include "common/SystemText.h"
#include "common/UserConfigFolder.h"

namespace uhf {
namespace {

struct DefaultEntry {
    std::string_view key;
    std::string_view value;
};

// In the order they are written.
constexpr DefaultEntry kDefaults[] = {
    {PortConfig::kPortKey, "0"},
    {PortConfig::kDeviceBaudKey, "0"},
    {PortConfig::kDownBaudKey, "0"},
    {PortConfig::kFilePathKey, " "},
};

// The firmware path is written in the ANSI code page where the path fits it, as the Windows tool
// of old writes and reads it (GBK on Chinese Windows), and in UTF-8 where it does not (always on
// Linux).
std::string StoredPath(const std::string& path) {
    return AnsiFromUtf8(path).value_or(path);
}

// A stored path as UTF-8, at most `limit` bytes of it, cut where a character ends: bytes that are
// valid UTF-8 are UTF-8, any others the ANSI code page.
std::string PathFromStored(const std::string& stored, std::size_t limit) {
    std::string_view kept(stored.data(), std::min(limit, stored.size()));
    if (IsUtf8(stored)) {
        while (!IsUtf8(kept)) {
            kept.remove_suffix(1);
        }
        return std::string(kept);
    }
    std::string path;
    std::string shorter;
    // A double-byte character cut in two is left out whole.
    if (!Utf8FromAnsi(kept, path) && kept.size() < stored.size() &&
        Utf8FromAnsi(kept.substr(0, kept.size() - 1), shorter)) {
        return shorter;
    }
    return path;
}

}  // namespace

PortConfig::PortConfig() : PortConfig(ExecutableFolder::Find(), &PortEnumerator::ListSystemPorts) {}

PortConfig::PortConfig(std::string folder, std::function<std::vector<std::string>()> source)
    : PortConfig(std::move(folder), UserConfigFolder::Find(ExecutableFolder::ProgramName()),
                 std::move(source)) {}

PortConfig::PortConfig(std::string folder, std::string userConfigDir,
                       std::function<std::vector<std::string>()> source)
    : executableDir(std::move(folder)),
      settingsDir(executableDir),
      portSource(std::move(source)),
      profile(BuildPath(std::string(kFileName))) {
    // Asking is not writing: the folder is left as it is.
    if (!userConfigDir.empty() && !AtomicFile::FolderWritable(executableDir)) {
        settingsDir = std::move(userConfigDir);
        profile.SetPath(settingsDir + std::string(kFileName));
    }
    profile.AddSectionSpelling(
        SectionName(),
        std::string(reinterpret_cast<const char*>(kUtf8SectionBytes), sizeof kUtf8SectionBytes));
    iniPath = profile.Path();
}

void PortConfig::SetNoticeHandler(std::function<void(const std::string&)> handler) {
    notice = std::move(handler);
}

std::string PortConfig::SectionName() {
    return std::string(reinterpret_cast<const char*>(kSectionBytes), sizeof kSectionBytes);
}

std::string PortConfig::BuildPath(const std::string& fileName) const {
    return executableDir + fileName;
}

bool PortConfig::ListPorts(std::vector<std::string>& ports) {
    ports.clear();
    if (portSource) {
        ports = portSource();
    }
    lastError = ports.empty() ? CommonError::NoPorts : CommonError::None;
    return !ports.empty();
}

ProfileFile& PortConfig::Settings() {
    // iniPath is a public field; whoever changes it means the file it names.
    if (profile.Path() != iniPath) {
        profile.SetPath(iniPath);
    }
    return profile;
}

bool PortConfig::ReadKey(std::string_view key, std::size_t bufferSize, std::string& value) {
    value = Settings().ReadString(SectionName(), std::string(key), "", bufferSize);
    lastError = profile.LastError();
    if (value.empty()) {
        WriteMissingDefaults();
        return false;
    }
    return true;
}

bool PortConfig::ReadBaudIndexes(int& deviceBaud, int& downBaud) {
    std::string value;
    if (!ReadKey(kDeviceBaudKey, kIndexBufferSize, value)) {
        return false;
    }
    deviceBaud = DecimalText::Read(value);
    if (!ReadKey(kDownBaudKey, kIndexBufferSize, value)) {
        return false;
    }
    downBaud = DecimalText::Read(value);
    return true;
}

bool PortConfig::ReadPortIndex(int& port) {
    std::string value;
    if (!ReadKey(kPortKey, kIndexBufferSize, value)) {
        return false;
    }
    port = DecimalText::Read(value);
    return true;
}

bool PortConfig::ReadFilePath(std::string& path) {
    std::string value;
    // Read whole, so that the cut to the buffer's size can fall where a character ends.
    if (!ReadKey(kFilePathKey, ProfileFile::kMaxFileSize, value)) {
        return false;
    }
    path = PathFromStored(value, kPathBufferSize - 1);
    return true;
}

void PortConfig::WriteValue(const std::string& key, const std::string& value) {
    if (settingsDir != executableDir) {
        // The user's configuration folder may not exist yet.
        std::error_code ignored;
        std::filesystem::create_directories(PathFromUtf8(settingsDir), ignored);
    }
    Settings().WriteString(SectionName(), key,
                           ProfileText::NamesEqual(key, kFilePathKey) ? StoredPath(value) : value);
    lastError = profile.LastError();
    if (lastError != CommonError::None && !noticeGiven) {
        noticeGiven = true;
        if (notice) {
            notice("Settings are not saved: " + iniPath + ": " + ToString(lastError));
        }
    }
}

void PortConfig::WriteDefaults() {
    for (const DefaultEntry& entry : kDefaults) {
        WriteValue(std::string(entry.key), std::string(entry.value));
    }
}

void PortConfig::WriteMissingDefaults() {
    // Only keys that read back empty get their default: a stored choice is never lost because
    // another key was missing (the path default " " itself always reads back empty).
    CommonError readError = lastError;
    for (const DefaultEntry& entry : kDefaults) {
        std::string key(entry.key);
        if (Settings().ReadString(SectionName(), key, "", kIndexBufferSize).empty()) {
            WriteValue(key, std::string(entry.value));
        }
    }
    if (readError != CommonError::None) {
        lastError = readError;
    }
}

}  // namespace uhf
