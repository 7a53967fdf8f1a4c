#include "ui/TraceOption.h"

namespace uhf {

bool TakeTraceOption(std::vector<std::string>& args, TraceLog& trace, std::string& error) {
    const std::string option = "--trace";
    for (auto it = args.begin(); it != args.end(); ++it) {
        if (*it != option && it->rfind(option + "=", 0) != 0) {
            continue;
        }
        const bool inlineValue = *it != option;
        if (!inlineValue && it + 1 == args.end()) {
            error = "--trace needs the name of a file";
            return false;
        }
        const std::string path = inlineValue ? it->substr(option.size() + 1) : *(it + 1);
        args.erase(it, it + (inlineValue ? 1 : 2));
        if (path.empty()) {
            error = "--trace needs the name of a file";
            return false;
        }
        return trace.WriteTo(path, error);
    }
    return true;
}

}  // namespace uhf
