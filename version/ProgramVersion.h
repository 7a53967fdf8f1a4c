#pragma once

#include <string>
#include <string_view>

namespace uhf {

// The version every program reports: the project's version and, when the build knew it, the
// commit it was built from, e.g. "1.0 (commit 1bae2fd4a2b3)".
std::string ProgramVersion();

// True when the command line asks for the version: "--version" among the arguments after the
// program's name and before any "--".
bool AsksForVersion(int argc, const char* const* argv);

// True when the command line asks for help: "-h" or "--help" before any "--".
bool AsksForHelp(int argc, const char* const* argv);

// Called first by every program's main: when asked, prints "<program> <ProgramVersion()>" on
// stdout and returns true, and the program ends with status 0 without opening anything.
bool PrintVersionIfAsked(std::string_view program, int argc, const char* const* argv);

}  // namespace uhf
