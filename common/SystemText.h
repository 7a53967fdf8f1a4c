#pragma once

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace uhf {

// The programs keep every text and path in UTF-8; here it meets the system's own encodings. On
// Windows a path reaches the system in UTF-16 and never passes the ANSI code page, which cannot
// spell most names (a Chinese folder on a Western system, an accented one on a Chinese system).

// A UTF-8 path as the file system takes it.
std::filesystem::path PathFromUtf8(const std::string& utf8);

// std::fopen of a UTF-8 path.
std::FILE* OpenFile(const std::string& utf8Path, const char* mode);

// Whether `bytes` are well-formed UTF-8: no overlong forms, surrogates or values past U+10FFFF,
// and no character cut short at the end.
bool IsUtf8(std::string_view bytes);

// Text in the ANSI code page, as UTF-8 into `utf8`: true when all of it was valid there;
// otherwise what could not be read is U+FFFD. The ANSI code page is the system's on Windows, and
// on Linux GBK, that of the Chinese Windows whose files come here.
bool Utf8FromAnsi(std::string_view bytes, std::string& utf8);

// `utf8` in the ANSI code page when each of its characters has its own exact counterpart there
// (a best-fit look-alike would name another file); nothing otherwise, and always nothing on
// Linux, which keeps UTF-8.
std::optional<std::string> AnsiFromUtf8(const std::string& utf8);

#ifdef _WIN32
// For the W calls. Invalid input becomes U+FFFD, never an error.
std::wstring ToUtf16(std::string_view utf8);
std::string ToUtf8(std::wstring_view utf16);
#endif

}  // namespace uhf
