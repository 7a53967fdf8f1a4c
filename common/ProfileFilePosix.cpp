#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "common/ProfileFile.h"
#include "common/ProfileText.h"

namespace uhf {
namespace {

// Reads the whole file. Nothing when it is missing; an error when it cannot be read.
struct Loaded {
    bool exists = false;
    std::string bytes;
    mode_t mode = 0644;
    CommonError error = CommonError::None;
};

Loaded Load(const std::string& path) {
    Loaded loaded;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) {
            loaded.error = CommonError::ReadFailed;
        }
        return loaded;
    }
    loaded.exists = true;
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        loaded.mode = info.st_mode & 07777;
        if (!S_ISREG(info.st_mode)) {
            loaded.error = CommonError::ReadFailed;
        }
    }
    char chunk[4096];
    while (loaded.error == CommonError::None) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            loaded.error = CommonError::ReadFailed;
        } else if (got == 0) {
            break;
        } else if (loaded.bytes.size() + static_cast<std::size_t>(got) >
                   ProfileFile::kMaxFileSize) {
            loaded.error = CommonError::FileTooLarge;
        } else {
            loaded.bytes.append(chunk, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return loaded;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

// A symbolic link is followed so that the file it names is replaced, not the link.
std::string ResolveLink(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ProfileFile::ProfileFile(std::string filePath) : path(std::move(filePath)) {}

void ProfileFile::SetBeforeReplaceHook(std::function<bool(const std::string&)> hook) {
    beforeReplace = std::move(hook);
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize) {
    Loaded loaded = Load(path);
    lastError = loaded.error;
    std::string value;
    std::optional<std::string> found;
    if (loaded.error == CommonError::None && loaded.exists) {
        found = ProfileText(std::move(loaded.bytes)).Find(section, key);
    }
    value = found ? std::move(*found) : std::string(ProfileText::Trim(defaultValue));
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
    std::string target = ResolveLink(path);
    Loaded loaded = Load(target);
    if (loaded.error != CommonError::None) {
        // Rewriting a file we could not read whole would lose what we did not read.
        lastError = loaded.error;
        return false;
    }
    ProfileText text(loaded.bytes);
    if (!text.Set(section, key, value)) {
        lastError = CommonError::InvalidText;
        return false;
    }
    if (loaded.exists && text.Bytes() == loaded.bytes) {
        lastError = CommonError::None;
        return true;
    }
    if (text.Bytes().size() > kMaxFileSize) {
        lastError = CommonError::FileTooLarge;
        return false;
    }

    std::string tempPath = target + ".XXXXXX";
    std::vector<char> name(tempPath.begin(), tempPath.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        lastError = CommonError::TempCreateFailed;
        return false;
    }
    tempPath = name.data();
    bool written = ::fchmod(fd, loaded.mode) == 0 && WriteAll(fd, text.Bytes()) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlink(tempPath.c_str());
        lastError = CommonError::TempWriteFailed;
        return false;
    }
    if (beforeReplace && !beforeReplace(tempPath)) {
        lastError = CommonError::WriteAbandoned;
        return false;
    }
    if (::rename(tempPath.c_str(), target.c_str()) != 0) {
        ::unlink(tempPath.c_str());
        lastError = CommonError::ReplaceFailed;
        return false;
    }
    // Make the rename itself durable.
    int dirFd = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    lastError = CommonError::None;
    return true;
}

}  // namespace uhf
