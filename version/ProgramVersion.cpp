#include "version/ProgramVersion.h"

#include <cstdio>
#include <string_view>

#include "version/BuildVersion.h"

namespace uhf {

namespace {

bool HasOption(int argc, const char* const* argv, std::string_view a, std::string_view b) {
    for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") {
            return false;
        }
        if (arg == a || arg == b) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string ProgramVersion() {
    return UHF_BUILD_VERSION_TEXT;
}

bool AsksForVersion(int argc, const char* const* argv) {
    return HasOption(argc, argv, "--version", "--version");
}

bool AsksForHelp(int argc, const char* const* argv) {
    return HasOption(argc, argv, "-h", "--help");
}

bool PrintVersionIfAsked(std::string_view program, int argc, const char* const* argv) {
    if (!AsksForVersion(argc, argv)) {
        return false;
    }
    const std::string line = std::string(program) + ' ' + ProgramVersion() + '\n';
    std::fputs(line.c_str(), stdout);
    return true;
}

}  // namespace uhf
