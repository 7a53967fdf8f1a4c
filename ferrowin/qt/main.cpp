#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <memory>
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
#include "ui/TraceOption.h"
#include "ui/qt/MessageBoxNotifier.h"
#include "version/ProgramVersion.h"

namespace {

constexpr const char* kUsage =
    "usage: ferrowin [--trace FILE] [PORT...]\n"
    "  The UHF reader's firmware download tool, a window. Ports named here (a simulated\n"
    "  reader's pseudo-terminal, say) head its port list, before the machine's serial ports.\n"
    "  --trace FILE   write every frame on the line to FILE (- standard error)\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n"
    "  Qt's own options are taken too, e.g. -platform offscreen.\n";

}  // namespace

// Ferrowin: shows the download window modally; the program ends when it closes.
// Ports named on the command line (a simulated reader's pseudo-terminal, say) head the port list.
int main(int argc, char** argv) {
    // Answered before Qt starts, so that they work without a display.
    if (uhf::PrintVersionIfAsked("ferrowin", argc, argv)) {
        return 0;
    }
    if (uhf::AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrowin"));
    QApplication::setWindowIcon(uhf::FerrowinIcon::Create());
    uhf::DialogFonts::InstallSubstitutes();

    std::vector<std::string> named;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        named.push_back(argument.toStdString());
    }
    uhf::TraceLog trace;
    std::string error;
    if (!uhf::TakeTraceOption(named, trace, error)) {
        std::fprintf(stderr, "ferrowin: %s\n", error.c_str());
        return 2;
    }
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
