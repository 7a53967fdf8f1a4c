// The entry point of every command-line program.
#include "toolsupport/ToolEntry.h"

#include "toolsupport/ExitStatus.h"
#include "toolsupport/ProcessSetup.h"
#include "version/ProgramVersion.h"

namespace {

int Start(int argc, char** argv) {
    uhf::ProcessSetup::Prepare();
    if (uhf::PrintVersionIfAsked(uhf::kToolName, argc, argv)) {
        const bool lost = uhf::ProcessSetup::RefuseClosedOutput(uhf::kToolName);
        return uhf::ProcessSetup::Finish(uhf::kToolName, lost ? uhf::kExitFailure : uhf::kExitOk);
    }
    return uhf::RunTool(argc, argv);
}

}  // namespace

#ifdef _WIN32
// Windows hands wmain the arguments whole, in UTF-16; a narrow main would get them in the ANSI
// code page, which cannot spell most file names.
int wmain(int argc, wchar_t** argv) {
    return uhf::ProcessSetup::RunWithUtf8Arguments(argc, argv, Start);
}
#else
int main(int argc, char** argv) {
    return Start(argc, argv);
}
#endif
