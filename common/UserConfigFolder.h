#pragma once

#include <string>

namespace uhf {

// The folder in the user's own configuration folder where a program keeps its settings when
// its own folder cannot be written: $XDG_CONFIG_HOME/<program>/, else ~/.config/<program>/,
// on Linux; <the roaming application data folder>\<program>\ on Windows (%APPDATA%).
class UserConfigFolder {
  public:
    // Ends in a path separator; empty when the environment names no such folder.
    static std::string Find(const std::string& programName);

    // The XDG rule: a set, absolute XDG_CONFIG_HOME wins (a relative one is ignored), else
    // HOME followed by .config. Null stands for an unset variable.
    static std::string FromXdg(const char* xdgConfigHome, const char* home,
                               const std::string& programName);
};

}  // namespace uhf
