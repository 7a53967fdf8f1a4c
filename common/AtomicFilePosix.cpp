#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <system_error>
#include <vector>

#include "common/AtomicFile.h"

namespace uhf {
namespace {

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

std::string DirectoryOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolderOf(const std::string& path) {
    int dirFd = ::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

// A file whose owner a new file cannot take (it belongs to someone else and we are not root)
// is rewritten where it stands: not crash-proof, but it stays the owner's file.
CommonError RewriteInPlace(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return CommonError::ReplaceFailed;
    }
    bool written = WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
                   ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    return written ? CommonError::None : CommonError::ReplaceFailed;
}

std::string SystemWords(int error) {
    return std::generic_category().message(error);
}

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a directory";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return S_ISSOCK(mode) ? "a socket" : "not a regular file";
}

auto ChunksOf(int fd) {
    return [fd](char* buffer, std::size_t room, std::string& error) {
        ssize_t got = 0;
        do {
            got = ::read(fd, buffer, room);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            error = SystemWords(errno);
        }
        return static_cast<long>(got);
    };
}

}  // namespace

AtomicFile::Contents AtomicFile::Read(const std::string& path, std::size_t maxSize) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        return Contents{
            {},
            error == ENOENT || error == ENOTDIR ? FileError::Missing : FileError::Unreadable,
            SystemWords(error)};
    }
    if (!S_ISREG(info.st_mode)) {
        return Contents{{}, FileError::NotRegular, KindOf(info.st_mode)};
    }
    const auto size = static_cast<std::uintmax_t>(info.st_size);
    if (size > maxSize) {
        return Contents{{}, FileError::TooLarge, std::to_string(maxSize)};
    }
    // Should the path have become a FIFO since, the open does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return Contents{{}, FileError::Unreadable, SystemWords(errno)};
    }
    Contents contents = ReadChunks(ChunksOf(fd), static_cast<std::size_t>(size), maxSize);
    ::close(fd);
    return contents;
}

std::string AtomicFile::ResolveTarget(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return path;
}

bool AtomicFile::MayWrite(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    // No write bit at all is the user's way of saying "leave it alone"; root would get through.
    if ((info.st_mode & 0222) == 0) {
        return false;
    }
    return ::access(path.c_str(), W_OK) == 0;
}

bool AtomicFile::FolderWritable(const std::string& folder) {
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK | X_OK) == 0;
}

CommonError AtomicFile::Replace(const std::string& path, const std::string& bytes,
                                const std::function<bool(const std::string&)>& beforeReplace) {
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;

    std::string tempPath = path + ".XXXXXX";
    std::vector<char> name(tempPath.begin(), tempPath.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return CommonError::TempCreateFailed;
    }
    tempPath = name.data();
    if (exists) {
        struct stat made {};
        const bool sameOwner =
            ::fstat(fd, &made) == 0 && made.st_uid == old.st_uid && made.st_gid == old.st_gid;
        if (!sameOwner && ::fchown(fd, old.st_uid, old.st_gid) != 0) {
            ::close(fd);
            ::unlink(tempPath.c_str());
            return RewriteInPlace(path, bytes);
        }
    }
    const mode_t mode = exists ? (old.st_mode & 07777) : 0644;
    bool written = ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written) {
        ::unlink(tempPath.c_str());
        return CommonError::TempWriteFailed;
    }
    if (beforeReplace && !beforeReplace(tempPath)) {
        return CommonError::WriteAbandoned;
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        ::unlink(tempPath.c_str());
        return CommonError::ReplaceFailed;
    }
    // Make the rename itself durable.
    SyncFolderOf(path);
    return CommonError::None;
}

}  // namespace uhf
