#include <unistd.h>

#include <vector>

#include "common/ExecutableFolder.h"

namespace uhf {

std::string ExecutableFolder::Find() {
    // Linux paths may be longer than any fixed buffer: grow until the link fits.
    std::vector<char> buffer(4096);
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            std::string path(buffer.data(), static_cast<std::size_t>(length));
            std::size_t slash = path.rfind('/');
            return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        }
        if (buffer.size() >= 1024 * 1024) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace uhf
