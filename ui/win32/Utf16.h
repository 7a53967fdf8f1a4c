#pragma once

#include <string>

namespace uhf {

// The program keeps UTF-8; the W APIs take UTF-16. Invalid input becomes U+FFFD, never an error.
std::wstring ToUtf16(const std::string& utf8);
std::string ToUtf8(const std::wstring& utf16);

}  // namespace uhf
