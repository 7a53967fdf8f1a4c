#include <windows.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <string>
#include <utility>

#include "common/AtomicFile.h"
#include "common/SystemText.h"

namespace uhf {
namespace {

std::wstring FolderOf(const std::wstring& path) {
    std::size_t cut = path.find_last_of(L"\\/:");
    if (cut == std::wstring::npos) {
        return L".";
    }
    return path.substr(0, cut + 1);
}

bool WriteAll(HANDLE file, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        DWORD put = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &put, nullptr) || put == 0) {
            return false;
        }
        done += put;
    }
    return true;
}

// In the system's language, which the ANSI code page may not spell.
std::string SystemWords(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string words = length > 0 && text != nullptr ? ToUtf8(std::wstring_view(text, length))
                                                      : "error " + std::to_string(error);
    LocalFree(text);
    // The system's sentence ends in a full stop and a line break; the caller's sentence goes on.
    words.erase(words.find_last_not_of(" .\r\n") + 1);
    return words;
}

// A pipe whose writer has gone has ended.
auto ChunksOf(HANDLE file) {
    return [file](char* buffer, std::size_t room, std::string& error) {
        DWORD got = 0;
        if (ReadFile(file, buffer, static_cast<DWORD>(room), &got, nullptr)) {
            return static_cast<long>(got);
        }
        const DWORD code = GetLastError();
        if (code == ERROR_BROKEN_PIPE || code == ERROR_HANDLE_EOF) {
            return 0L;
        }
        error = SystemWords(code);
        return -1L;
    };
}

// ReplaceFileW keeps the old file's attributes and access list; with nothing to replace, or
// where it is refused, the move with write-through does the same step.
unsigned long PlaceFile(const std::wstring& target, const std::wstring& replacement) {
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ReplaceFileW(target.c_str(), replacement.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
        return ERROR_SUCCESS;
    }
    if (MoveFileExW(replacement.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return ERROR_SUCCESS;
    }
    return GetLastError();
}

// A file that another program has open without sharing its deletion cannot be replaced, and
// Windows says so as a sharing or lock violation, or as access denied; a read-only file is
// denied for good.
bool HeldForAMoment(DWORD error, const std::wstring& target) {
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        return true;
    }
    const DWORD attributes = GetFileAttributesW(target.c_str());
    return error == ERROR_ACCESS_DENIED &&
           (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_READONLY) == 0);
}

}  // namespace

AtomicFile::Contents AtomicFile::Read(const std::string& path, std::size_t maxSize) {
    const std::wstring wide = ToUtf16(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return Contents{{}, FileError::NotRegular, "a directory"};
    }
    HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return Contents{{},
                        error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                            ? FileError::Missing
                            : FileError::Unreadable,
                        SystemWords(error)};
    }
    Contents contents;
    LARGE_INTEGER size{};
    const DWORD type = GetFileType(file);
    if (type != FILE_TYPE_DISK) {
        contents =
            Contents{{}, FileError::NotRegular, type == FILE_TYPE_PIPE ? "a FIFO" : "a device"};
    } else if (!GetFileSizeEx(file, &size)) {
        contents = Contents{{}, FileError::Unreadable, SystemWords(GetLastError())};
    } else if (static_cast<unsigned long long>(size.QuadPart) > maxSize) {
        contents = Contents{{}, FileError::TooLarge, std::to_string(maxSize)};
    } else {
        contents = ReadChunks(ChunksOf(file), static_cast<std::size_t>(size.QuadPart), maxSize);
    }
    CloseHandle(file);
    return contents;
}

std::string AtomicFile::ResolveTarget(const std::string& path) {
    return path;
}

bool AtomicFile::MayWrite(const std::string& path) {
    DWORD attributes = GetFileAttributesW(ToUtf16(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool AtomicFile::FolderWritable(const std::string& folder) {
    // Only trying tells: the folder's attributes say nothing about its access list.
    std::wstring probe = ToUtf16(folder);
    if (!probe.empty() && probe.back() != L'\\' && probe.back() != L'/') {
        probe += L'\\';
    }
    probe += L"~System.ini." + std::to_wstring(GetCurrentProcessId()) + L".probe";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

CommonError AtomicFile::Replace(const std::string& path, const std::string& bytes,
                                const std::function<bool(const std::string&)>& beforeReplace) {
    const std::wstring target = ToUtf16(path);
    wchar_t tempName[MAX_PATH];
    if (GetTempFileNameW(FolderOf(target).c_str(), L"ini", 0, tempName) == 0) {
        return CommonError::TempCreateFailed;
    }
    HANDLE file = CreateFileW(tempName, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(tempName);
        return CommonError::TempCreateFailed;
    }
    bool written = WriteAll(file, bytes) && FlushFileBuffers(file);
    written = CloseHandle(file) && written;
    if (!written) {
        DeleteFileW(tempName);
        return CommonError::TempWriteFailed;
    }
    if (beforeReplace) {
        if (!beforeReplace(ToUtf8(tempName))) {
            return CommonError::WriteAbandoned;
        }
    }
    // Antivirus, the search indexer or OneDrive open a file that has just changed for a moment,
    // and Windows refuses to replace it meanwhile: try again for about 300 ms in all.
    constexpr unsigned long kPausesMs[] = {10, 20, 40, 80, 150};
    for (std::size_t tries = 0;; ++tries) {
        const DWORD error = placing.place(target, tempName);
        if (error == ERROR_SUCCESS) {
            return CommonError::None;
        }
        if (tries == std::size(kPausesMs) || !HeldForAMoment(error, target)) {
            break;
        }
        placing.pause(kPausesMs[tries]);
    }
    DeleteFileW(tempName);
    return CommonError::ReplaceFailed;
}

AtomicFile::WindowsPlacing AtomicFile::placing{PlaceFile, [](unsigned long ms) { Sleep(ms); }};

}  // namespace uhf
