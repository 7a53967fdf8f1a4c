#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace uhf {

// The bytes of an INI settings file, read and edited with the rules of the Windows
// private-profile functions, so that a file moves between the Windows and the Linux tool
// unchanged:
// - section and key names match without regard to ASCII case (the two bytes of a GBK
//   character are compared as they are);
// - blanks around section names, key names and values are dropped, and a value inside
//   matching single or double quotes loses them;
// - lines starting with ';' are comments; a key is searched through every section of that
//   name, the first one found wins;
// - an edit replaces the value where it stands, adds a missing key after the last key of the
//   first section of that name, adds a missing section at the end, ends the lines it writes in
//   CR LF and keeps every other byte.
class ProfileText {
  public:
    ProfileText() = default;
    explicit ProfileText(std::string bytes);

    // The key's value with blanks and surrounding quotes removed; nothing when the key is not
    // in the section (or the section is missing).
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    // Sets the key's value. Returns false, changing nothing, when the texts cannot be stored
    // (see IsStorable).
    bool Set(std::string_view section, std::string_view key, std::string_view value);

    // A section header spelled `other` is read as the section `canonical` (a name that a text
    // editor saved in another encoding); Set rewrites such headers as `canonical`, dropping a
    // UTF-8 byte order mark in front of the file, since the file is then no longer UTF-8.
    void AddSectionSpelling(std::string_view canonical, std::string_view other);

    const std::string& Bytes() const { return bytes; }

    // Names compared as the private-profile functions compare them.
    static bool NamesEqual(std::string_view a, std::string_view b);

    // Blanks (space, tab, vertical tab, form feed, carriage return) dropped at both ends.
    static std::string_view Trim(std::string_view text);

    // False for texts that would break the file's line structure: a line break or NUL
    // anywhere, a ']' in the section, an empty key or one holding '=' or starting with '['
    // or ';'.
    static bool IsStorable(std::string_view section, std::string_view key, std::string_view value);

  private:
    struct Line {
        std::size_t begin;   // offset of the line's first byte
        std::size_t length;  // without its line break
        std::size_t end;     // offset after the line break
    };

    std::vector<Line> SplitLines() const;
    std::string_view Content(const Line& line) const;
    bool SectionMatches(std::string_view header, std::string_view section) const;
    void RespellSections(std::string_view section);

    std::string bytes;
    std::vector<std::pair<std::string, std::string>> spellings;  // canonical, other
};

}  // namespace uhf
