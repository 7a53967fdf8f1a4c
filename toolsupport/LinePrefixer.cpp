#include "toolsupport/LinePrefixer.h"

namespace uhf {

namespace {

// A line that never ends is passed on in pieces rather than held without bound.
constexpr std::size_t kMaxPending = 64 * 1024;

}  // namespace

LinePrefixer::LinePrefixer(std::ostream& out, std::mutex& guard, std::string linePrefix)
    : target(out), mutex(guard), prefix(std::move(linePrefix)) {}

LinePrefixer::~LinePrefixer() {
    if (!pending.empty()) {
        pending += '\n';
        Emit();
    }
}

LinePrefixer::int_type LinePrefixer::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) {
        return traits_type::not_eof(c);
    }
    pending += traits_type::to_char_type(c);
    if (pending.back() == '\n' || pending.size() >= kMaxPending) {
        Emit();
    }
    return c;
}

std::streamsize LinePrefixer::xsputn(const char* text, std::streamsize count) {
    for (std::streamsize i = 0; i < count; ++i) {
        overflow(traits_type::to_int_type(text[i]));
    }
    return count;
}

int LinePrefixer::sync() {
    return 0;  // lines leave when they end
}

void LinePrefixer::Emit() {
    pending.insert(0, prefix);
    const std::lock_guard<std::mutex> lock(mutex);
    target.write(pending.data(), static_cast<std::streamsize>(pending.size()));
    target.flush();
    pending.clear();
}

}  // namespace uhf
