#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace uhf {

// Walks a command line against a tool's table of options. The tool keeps its own table, its
// value checks and its texts; the reader only knows what an option, a value and an operand are,
// and words the two errors every tool shares: "X needs a value" and "unknown option X".
class ArgumentReader {
  public:
    // Takes the option's name as written and its value (empty for a flag); false, with the
    // reason in `error`, refuses the command line.
    using Apply =
        std::function<bool(const std::string& name, const std::string& value, std::string& error)>;
    // Takes an argument that is not an option.
    using Operand = std::function<bool(const std::string& operand, std::string& error)>;

    struct Option {
        std::vector<std::string> names;  // e.g. {"-p", "--port"}
        bool takesValue = false;
        Apply apply;
        bool endsReading = false;  // --help: what follows is not looked at
    };

    // An option without a value that sets `flag`.
    static Option Flag(std::vector<std::string> names, bool& flag);
    // An option whose value goes to `value`; an empty one is refused with `whenEmpty`.
    static Option Text(std::vector<std::string> names, std::string& value, std::string whenEmpty);
    // The whole of `text` as a decimal number; nothing when it is not one.
    static std::optional<int> Integer(const std::string& text);

    // "--name=value" as well as "--name value"; a flag given a value so is refused.
    ArgumentReader& AcceptInlineValues();
    // "--" makes every later argument an operand; "-" alone is an operand.
    ArgumentReader& AcceptEndOfOptions();
    // The text for an unknown option (default "unknown option NAME").
    ArgumentReader& WordUnknownOption(std::function<std::string(const std::string&)> text);

    // Reads `args` (without the program name). Arguments that are not options go to `operand`;
    // with no operand handler they are unknown options. False, with the reason in `error`, at
    // the first argument that does not fit.
    bool Read(const std::vector<std::string>& args, const std::vector<Option>& options,
              const Operand& operand, std::string& error) const;

    // "-p A and -p B name the same port" for the first of `ports` that names the device of an
    // earlier one: the same name, the same path spelt otherwise (./A), or a link and its target.
    // Empty when each names another.
    static std::string SamePortTwice(const std::vector<std::string>& ports);

  private:
    bool inlineValues = false;
    bool endOfOptions = false;
    std::function<std::string(const std::string&)> unknownOption;
};

}  // namespace uhf
