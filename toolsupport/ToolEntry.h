#pragma once

namespace uhf {

// What a command-line program gives the entry point that toolsupport/ToolEntry.cpp holds for
// all of them: its name, for messages and --version, and its work, run once the process is
// prepared and --version answered, with the arguments in UTF-8 on every system.
extern const char kToolName[];
int RunTool(int argc, char** argv);

}  // namespace uhf
