#include <unistd.h>

#include <vector>

#include "common/ExecutableFolder.h"

namespace uhf {
namespace {

std::string ExecutablePath() {
    // Linux paths may be longer than any fixed buffer: grow until the link fits.
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(length));
        }
        if (buffer.size() >= 1024 * 1024) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

std::string ExecutableFolder::Find() {
    const std::string path = ExecutablePath();
    return path.substr(0, path.rfind('/') + 1);  // empty when there is no slash
}

std::string ExecutableFolder::ProgramName() {
    const std::string path = ExecutablePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(slash + 1);
}

}  // namespace uhf
