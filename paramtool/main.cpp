// Tesmarle: the reader's parameter tool. Runs the parameter window modally and ends with it.
// Ports named on the command line (a simulated reader's pseudo-terminal, say) head the port list.
#include <QApplication>
#include <QStringList>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/PortEnumerator.h"
#include "paramtool/ParamDialog.h"
#include "reader/ReaderLink.h"
#include "widgets/MessageBoxNotifier.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    uhf::MessageBoxNotifier notifier(QStringLiteral("Warning"), QMessageBox::Information);
    std::vector<std::string> named;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        named.push_back(argument.toStdString());
    }
    // The port list is wanted once, while the window initialises.
    uhf::PortSource ports = [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPorts(named);
    };
    uhf::ParamDialog dialog(std::make_unique<uhf::ReaderLink>(), notifier, ports);
    notifier.SetParent(&dialog);
    dialog.exec();
    return 0;
}
