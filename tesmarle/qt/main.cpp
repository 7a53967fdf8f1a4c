// Tesmarle: the reader's parameter tool. Runs the parameter window modally and ends with it.
// Ports named on the command line (a simulated reader's pseudo-terminal, say) head the port list.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/PortEnumerator.h"
#include "reader/ReaderLink.h"
#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "tesmarle/qt/ParamDialog.h"
#include "ui/TraceOption.h"
#include "ui/qt/MessageBoxNotifier.h"
#include "version/ProgramVersion.h"

namespace {

constexpr const char* kUsage =
    "usage: tesmarle [--trace FILE] [PORT...]\n"
    "  The UHF reader's parameter tool, a window. Ports named here (a simulated reader's\n"
    "  pseudo-terminal, say) head its port list, before the machine's serial ports.\n"
    "  --trace FILE   write every frame on the line to FILE (- standard error)\n"
    "  -h, --help     show this text\n"
    "  --version      show the version\n"
    "  Qt's own options are taken too, e.g. -platform offscreen.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that they work without a display.
    if (uhf::PrintVersionIfAsked("tesmarle", argc, argv)) {
        return 0;
    }
    if (uhf::AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QApplication app(argc, argv);
    uhf::MessageBoxNotifier notifier(QStringLiteral("Warning"), QMessageBox::Information);
    std::vector<std::string> named;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        named.push_back(argument.toStdString());
    }
    uhf::TraceLog trace;
    std::string error;
    if (!uhf::TakeTraceOption(named, trace, error)) {
        std::fprintf(stderr, "tesmarle: %s\n", error.c_str());
        return 2;
    }
    // Listed again while the window is open, so that adapters plugged in later show up; the
    // named ports stay at the head of the list.
    uhf::PortSource ports = [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPortDetails(named);
    };
    uhf::ParamDialog dialog(
        std::make_unique<uhf::ReaderLink>(std::make_unique<uhf::TracingSerialPort>(
            std::make_unique<uhf::NativeSerialPort>(), trace)),
        notifier, ports);
    notifier.SetParent(&dialog);
    dialog.exec();
    return 0;
}
