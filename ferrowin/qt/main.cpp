#include <QApplication>
#include <QMessageBox>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/ExecutableFolder.h"
#include "common/PortConfig.h"
#include "common/PortEnumerator.h"
#include "ferrowin/qt/DialogFonts.h"
#include "ferrowin/qt/DownloadDialog.h"
#include "ferrowin/qt/FerrowinIcon.h"
#include "ferrowin/qt/QtCommControl.h"
#include "ferrowin/qt/QtFileChooser.h"
#include "serial/LowLatencyMode.h"
#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "ui/qt/MessageBoxNotifier.h"
#include "ui/qt/WindowArguments.h"

namespace {

constexpr const char* kAbout =
    "  The UHF reader's firmware download tool, a window. Ports named here (a simulated\n"
    "  reader's pseudo-terminal, say) head its port list, before the machine's serial ports.\n";

}  // namespace

// Ferrowin: shows the download window modally; the program ends when it closes.
// Ports named on the command line (a simulated reader's pseudo-terminal, say) head the port list.
int main(int argc, char** argv) {
    if (uhf::AnswerVersionOrUsage("ferrowin", kAbout, argc, argv)) {
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrowin"));
    QApplication::setWindowIcon(uhf::FerrowinIcon::Create());
    uhf::DialogFonts::InstallSubstitutes();

    uhf::TraceLog trace;
    const std::optional<std::vector<std::string>> arguments =
        uhf::TakeWindowArguments("ferrowin", trace);
    if (!arguments) {
        return 2;
    }
    const std::vector<std::string>& named = *arguments;
    uhf::PortConfig config(uhf::ExecutableFolder::Find(), [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPorts(named);
    });
    uhf::TracingSerialPort port(std::make_unique<uhf::NativeSerialPort>(), trace);
    uhf::QtCommControl comm(port);
    uhf::MessageBoxNotifier notifier(QStringLiteral("提示"), QMessageBox::Warning);
    uhf::QtFileChooser files;
    // Listed again while the window is open, so that adapters plugged in later show up.
    uhf::DownloadDialog dialog(config, comm, notifier, files, [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPortDetails(named);
    });
    dialog.Presenter().LogLatencyWarnings(uhf::LowLatencyMode::System());
    notifier.SetParent(&dialog);
    files.SetParent(&dialog);
    dialog.exec();
    return 0;
}
