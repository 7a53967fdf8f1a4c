// Tesmarle: the reader's parameter tool. Runs the parameter window modally and ends with it.
// Ports named on the command line (a simulated reader's pseudo-terminal, say) head the port list.
#include <QApplication>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/PortEnumerator.h"
#include "reader/ReaderLink.h"
#include "serial/NativeSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "tesmarle/qt/ParamDialog.h"
#include "ui/qt/MessageBoxNotifier.h"
#include "ui/qt/WindowArguments.h"

namespace {

constexpr const char* kAbout =
    "  The UHF reader's parameter tool, a window. Ports named here (a simulated reader's\n"
    "  pseudo-terminal, say) head its port list, before the machine's serial ports.\n";

}  // namespace

int main(int argc, char** argv) {
    if (uhf::AnswerVersionOrUsage("tesmarle", kAbout, argc, argv)) {
        return 0;
    }
    QApplication app(argc, argv);
    uhf::MessageBoxNotifier notifier(QStringLiteral("Warning"), QMessageBox::Information);
    uhf::TraceLog trace;
    const std::optional<std::vector<std::string>> named =
        uhf::TakeWindowArguments("tesmarle", trace);
    if (!named) {
        return 2;
    }
    // Listed again while the window is open, so that adapters plugged in later show up; the
    // named ports stay at the head of the list.
    uhf::PortSource ports = [named = *named] {
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
