#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/AtomicFile.h"

namespace uhf {
namespace {

// Paths come from the ANSI calls (GetModuleFileNameA, the environment), so they are in the
// ANSI code page.
std::wstring Wide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            length);
    }
    return wide;
}

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

}  // namespace

AtomicFile::Contents AtomicFile::Read(const std::string& path, std::size_t maxSize) {
    Contents contents;
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            contents.error = CommonError::ReadFailed;
        }
        return contents;
    }
    contents.exists = true;
    char chunk[4096];
    while (contents.error == CommonError::None) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            contents.error = CommonError::ReadFailed;
        } else if (got == 0) {
            break;
        } else if (contents.bytes.size() + got > maxSize) {
            contents.error = CommonError::FileTooLarge;
        } else {
            contents.bytes.append(chunk, got);
        }
    }
    CloseHandle(file);
    return contents;
}

std::string AtomicFile::ResolveTarget(const std::string& path) {
    return path;
}

bool AtomicFile::MayWrite(const std::string& path) {
    DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return true;
    }
    return (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool AtomicFile::FolderWritable(const std::string& folder) {
    // Only trying tells: the folder's attributes say nothing about its access list.
    std::wstring probe = Wide(folder);
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
    const std::wstring target = Wide(path);
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
        std::vector<char> narrow(MAX_PATH * 2, '\0');
        WideCharToMultiByte(CP_ACP, 0, tempName, -1, narrow.data(), static_cast<int>(narrow.size()),
                            nullptr, nullptr);
        if (!beforeReplace(narrow.data())) {
            return CommonError::WriteAbandoned;
        }
    }
    // ReplaceFileW keeps the old file's attributes and access list; with nothing to replace, or
    // where it is refused, the move with write-through does the same step.
    if (GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES &&
        ReplaceFileW(target.c_str(), tempName, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr)) {
        return CommonError::None;
    }
    if (MoveFileExW(tempName, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return CommonError::None;
    }
    DeleteFileW(tempName);
    return CommonError::ReplaceFailed;
}

}  // namespace uhf
