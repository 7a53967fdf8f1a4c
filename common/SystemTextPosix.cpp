#include <iconv.h>

#include <cerrno>

#include "common/SystemText.h"

namespace uhf {

std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return utf8;
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) {
    return std::fopen(utf8Path.c_str(), mode);
}

bool Utf8FromAnsi(std::string_view bytes, std::string& utf8) {
    static constexpr char kReplacement[] = "\xEF\xBF\xBD";
    utf8.clear();
    iconv_t codec = iconv_open("UTF-8", "GBK");
    if (codec == reinterpret_cast<iconv_t>(-1)) {
        utf8.assign(bytes);
        return IsUtf8(bytes);
    }
    bool valid = true;
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    char buffer[256];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t done = iconv(codec, &in, &inLeft, &out, &outLeft);
        utf8.append(buffer, static_cast<std::size_t>(out - buffer));
        if (done == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // An invalid sequence, or one cut short at the end: one byte stands for it.
            valid = false;
            utf8 += kReplacement;
            ++in;
            --inLeft;
        }
    }
    iconv_close(codec);
    return valid;
}

std::optional<std::string> AnsiFromUtf8(const std::string&) {
    return std::nullopt;
}

}  // namespace uhf
