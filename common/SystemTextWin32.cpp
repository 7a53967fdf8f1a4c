#include <windows.h>

#include "common/SystemText.h"

namespace uhf {

std::wstring ToUtf16(std::string_view utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), length);
    return out;
}

std::string ToUtf8(std::wstring_view utf16) {
    if (utf16.empty()) {
        return {};
    }
    const int size = static_cast<int>(utf16.size());
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, out.data(), length, nullptr, nullptr);
    return out;
}

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(ToUtf16(utf8));
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return _wfopen(ToUtf16(utf8Path).c_str(), ToUtf16(mode).c_str());
}

bool Utf8FromAnsi(std::string_view bytes, std::string& utf8) {
    utf8.clear();
    if (bytes.empty()) {
        return true;
    }
    const int size = static_cast<int>(bytes.size());
    const bool valid =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0) > 0;
    const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
    utf8 = ToUtf8(wide);
    return valid;
}

std::optional<std::string> AnsiFromUtf8(const std::string& utf8) {
    const std::wstring wide = ToUtf16(utf8);
    if (wide.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    // With the used-default flag (refused where the ANSI code page is UTF-8: then nothing).
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                           0, nullptr, &usedDefault);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string ansi(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, ansi.data(), length,
                        nullptr, &usedDefault);
    return ansi;
}

}  // namespace uhf
