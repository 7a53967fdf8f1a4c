#include "toolsupport/ArgumentReader.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>

#include "common/SystemText.h"

namespace uhf {

ArgumentReader::Option ArgumentReader::Flag(std::vector<std::string> names, bool& flag) {
    return {std::move(names), false, [&flag](const std::string&, const std::string&, std::string&) {
                flag = true;
                return true;
            }};
}

ArgumentReader::Option ArgumentReader::Text(std::vector<std::string> names, std::string& value,
                                            std::string whenEmpty) {
    return {std::move(names), true,
            [&value, whenEmpty = std::move(whenEmpty)](const std::string&, const std::string& given,
                                                       std::string& why) {
                value = given;
                if (given.empty()) {
                    why = whenEmpty;
                }
                return !given.empty();
            }};
}

std::optional<int> ArgumentReader::Integer(const std::string& text) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

ArgumentReader& ArgumentReader::AcceptInlineValues() {
    inlineValues = true;
    return *this;
}

ArgumentReader& ArgumentReader::AcceptEndOfOptions() {
    endOfOptions = true;
    return *this;
}

ArgumentReader& ArgumentReader::WordUnknownOption(
    std::function<std::string(const std::string&)> text) {
    unknownOption = std::move(text);
    return *this;
}

bool ArgumentReader::Read(const std::vector<std::string>& args, const std::vector<Option>& options,
                          const Operand& operand, std::string& error) const {
    bool onlyOperands = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        const bool isOption =
            !onlyOperands && !name.empty() && name[0] == '-' && !(endOfOptions && name == "-");
        if (endOfOptions && isOption && name == "--") {
            onlyOperands = true;
            continue;
        }
        if (!isOption && operand) {
            if (!operand(name, error)) {
                return false;
            }
            continue;
        }
        std::optional<std::string> inlineValue;
        if (inlineValues && name.rfind("--", 0) == 0) {
            if (const auto eq = name.find('='); eq != std::string::npos) {
                inlineValue = name.substr(eq + 1);
                name.erase(eq);
            }
        }
        const auto found = std::find_if(options.begin(), options.end(), [&](const Option& o) {
            return std::find(o.names.begin(), o.names.end(), name) != o.names.end();
        });
        if (found == options.end()) {
            error = unknownOption ? unknownOption(name) : "unknown option " + name;
            return false;
        }
        std::string value;
        if (found->takesValue) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                error = name + " needs a value";
                return false;
            }
        } else if (inlineValue) {
            error = name + " takes no value";
            return false;
        }
        if (!found->apply(name, value, error)) {
            return false;
        }
        if (found->endsReading) {
            return true;
        }
    }
    return true;
}

std::string ArgumentReader::SamePortTwice(const std::vector<std::string>& ports) {
    namespace fs = std::filesystem;
    const auto same = [](const std::string& a, const std::string& b) {
        std::error_code errorA;
        std::error_code errorB;
        if (a == b || fs::equivalent(PathFromUtf8(a), PathFromUtf8(b), errorA)) {
            return true;
        }
        // Names of which one does not exist yet: as spelt out, relative to the working folder.
        const fs::path fullA = fs::weakly_canonical(PathFromUtf8(a), errorA);
        const fs::path fullB = fs::weakly_canonical(PathFromUtf8(b), errorB);
        return !errorA && !errorB && fullA == fullB;
    };
    for (std::size_t i = 1; i < ports.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (same(ports[j], ports[i])) {
                return "-p " + ports[j] + " and -p " + ports[i] + " name the same port";
            }
        }
    }
    return {};
}

}  // namespace uhf
