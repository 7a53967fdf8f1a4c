// Tesmarle: the reader's parameter tool. Runs the parameter window modally and ends with it.
#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "common/PortConfig.h"
#include "paramtool/ParamDialog.h"
#include "reader/ReaderLink.h"
#include "widgets/MessageBoxNotifier.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    uhf::MessageBoxNotifier notifier(QStringLiteral("Warning"), QMessageBox::Information);
    // The port list is wanted once, while the window initialises.
    uhf::PortSource ports = [] {
        uhf::PortConfig config;
        std::vector<std::string> names;
        config.ListPorts(names);
        return names;
    };
    uhf::ParamDialog dialog(std::make_unique<uhf::ReaderLink>(), notifier, ports);
    notifier.SetParent(&dialog);
    dialog.exec();
    return 0;
}
