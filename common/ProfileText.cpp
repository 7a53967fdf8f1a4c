#include "common/ProfileText.h"

#include <utility>

namespace uhf {
namespace {

constexpr std::string_view kBlanks = " \t\v\f\r";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";

enum class LineKind { Other, Section, Key };

struct Parsed {
    LineKind kind = LineKind::Other;
    std::string_view name;   // section or key name, trimmed
    std::string_view value;  // key value, trimmed, quotes kept
};

Parsed Parse(std::string_view content) {
    std::string_view text = ProfileText::Trim(content);
    if (text.empty() || text.front() == ';') {
        return {};
    }
    if (text.front() == '[') {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {LineKind::Section, ProfileText::Trim(text.substr(1, close - 1)), {}};
    }
    std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return {};
    }
    return {LineKind::Key, ProfileText::Trim(text.substr(0, equals)),
            ProfileText::Trim(text.substr(equals + 1))};
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

unsigned char LowerAscii(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool IsGbkLeadByte(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

}  // namespace

ProfileText::ProfileText(std::string text) : bytes(std::move(text)) {}

std::string_view ProfileText::Trim(std::string_view text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

bool ProfileText::NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (IsGbkLeadByte(ca) && i + 1 < a.size()) {
            // The trail byte of a double-byte character may look like an ASCII letter; it is
            // part of the character, not a letter, so it is compared exactly.
            if (ca != cb || a[i + 1] != b[i + 1]) {
                return false;
            }
            ++i;
            continue;
        }
        if (LowerAscii(ca) != LowerAscii(cb)) {
            return false;
        }
    }
    return true;
}

bool ProfileText::IsStorable(std::string_view section, std::string_view key,
                             std::string_view value) {
    auto breaksLine = [](std::string_view text) {
        return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
    };
    if (breaksLine(section) || breaksLine(key) || breaksLine(value)) {
        return false;
    }
    if (section.find(']') != std::string_view::npos) {
        return false;
    }
    std::string_view name = Trim(key);
    return !name.empty() && name.find('=') == std::string_view::npos && name.front() != '[' &&
           name.front() != ';';
}

std::vector<ProfileText::Line> ProfileText::SplitLines() const {
    std::vector<Line> lines;
    std::size_t begin = 0;
    while (begin < bytes.size()) {
        std::size_t newline = bytes.find('\n', begin);
        if (newline == std::string::npos) {
            lines.push_back({begin, bytes.size() - begin, bytes.size()});
            break;
        }
        std::size_t length = newline - begin;
        if (length > 0 && bytes[newline - 1] == '\r') {
            --length;
        }
        lines.push_back({begin, length, newline + 1});
        begin = newline + 1;
    }
    return lines;
}

std::string_view ProfileText::Content(const Line& line) const {
    std::string_view content(bytes.data() + line.begin, line.length);
    if (line.begin == 0 && content.starts_with(kUtf8Bom)) {
        content.remove_prefix(kUtf8Bom.size());
    }
    return content;
}

void ProfileText::AddSectionSpelling(std::string_view canonical, std::string_view other) {
    spellings.emplace_back(Trim(canonical), Trim(other));
}

bool ProfileText::SectionMatches(std::string_view header, std::string_view section) const {
    if (NamesEqual(header, section)) {
        return true;
    }
    for (const auto& [canonical, other] : spellings) {
        if (NamesEqual(canonical, section) && NamesEqual(header, other)) {
            return true;
        }
    }
    return false;
}

void ProfileText::RespellSections(std::string_view section) {
    std::vector<Line> lines = SplitLines();
    bool respelled = false;
    // From the end, so that the offsets of the lines before stay right.
    for (std::size_t i = lines.size(); i-- > 0;) {
        Parsed parsed = Parse(Content(lines[i]));
        if (parsed.kind != LineKind::Section || NamesEqual(parsed.name, section) ||
            !SectionMatches(parsed.name, section)) {
            continue;
        }
        auto offset = static_cast<std::size_t>(parsed.name.data() - bytes.data());
        bytes.replace(offset, parsed.name.size(), section);
        respelled = true;
    }
    if (respelled && std::string_view(bytes).starts_with(kUtf8Bom)) {
        bytes.erase(0, kUtf8Bom.size());
    }
}

std::optional<std::string> ProfileText::Find(std::string_view section, std::string_view key) const {
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    for (const Line& line : SplitLines()) {
        Parsed parsed = Parse(Content(line));
        if (parsed.kind == LineKind::Section) {
            inSection = SectionMatches(parsed.name, section);
        } else if (parsed.kind == LineKind::Key && inSection && NamesEqual(parsed.name, key)) {
            return std::string(Unquote(parsed.value));
        }
    }
    return std::nullopt;
}

bool ProfileText::Set(std::string_view section, std::string_view key, std::string_view value) {
    if (!IsStorable(section, key, value)) {
        return false;
    }
    section = Trim(section);
    key = Trim(key);
    RespellSections(section);

    std::vector<Line> lines = SplitLines();
    bool inSection = false;
    bool inFirstSection = false;
    bool seenSection = false;
    std::size_t insertAfter = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        Parsed parsed = Parse(Content(lines[i]));
        if (parsed.kind == LineKind::Section) {
            inSection = SectionMatches(parsed.name, section);
            inFirstSection = inSection && !seenSection;
            if (inFirstSection) {
                seenSection = true;
                insertAfter = i;
            }
        } else if (parsed.kind == LineKind::Key && inSection) {
            if (NamesEqual(parsed.name, key)) {
                // Keep the key as the file spells it; only the value changes.
                std::string replacement(parsed.name);
                replacement.append("=").append(value).append(kLineEnd);
                bytes.replace(lines[i].begin, lines[i].end - lines[i].begin, replacement);
                return true;
            }
            if (inFirstSection) {
                insertAfter = i;
            }
        }
    }

    std::size_t position = seenSection ? lines[insertAfter].end : bytes.size();
    std::string addition;
    // The line before the addition may be the file's last one, without its line break.
    if (position > 0 && bytes[position - 1] != '\n') {
        addition.append(bytes[position - 1] == '\r' ? "\n" : kLineEnd);
    }
    if (!seenSection) {
        addition.append("[").append(section).append("]").append(kLineEnd);
    }
    addition.append(key).append("=").append(value).append(kLineEnd);
    bytes.insert(position, addition);
    return true;
}

}  // namespace uhf
