#include <QApplication>
#include <QMessageBox>

#include <string>
#include <utility>
#include <vector>

#include "common/ExecutableFolder.h"
#include "common/PortConfig.h"
#include "common/PortEnumerator.h"
#include "downloader/app/DialogFonts.h"
#include "downloader/app/DownloadDialog.h"
#include "downloader/app/FerrowinIcon.h"
#include "downloader/app/QtFileChooser.h"
#include "serial/qt/QtCommControl.h"
#include "widgets/MessageBoxNotifier.h"

// Ferrowin: shows the download window modally; the program ends when it closes.
// Ports named on the command line (a simulated reader's pseudo-terminal, say) head the port list.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrowin"));
    QApplication::setWindowIcon(uhf::FerrowinIcon::Create());
    uhf::DialogFonts::InstallSubstitutes();

    std::vector<std::string> named;
    for (const QString& argument : QApplication::arguments().mid(1)) {
        named.push_back(argument.toStdString());
    }
    uhf::PortConfig config(uhf::ExecutableFolder::Find(), [named] {
        return uhf::PortEnumerator::ListNamedThenSystemPorts(named);
    });
    uhf::QtCommControl comm;
    uhf::MessageBoxNotifier notifier(QStringLiteral("提示"), QMessageBox::Warning);
    uhf::QtFileChooser files;
    uhf::DownloadDialog dialog(config, comm, notifier, files);
    notifier.SetParent(&dialog);
    dialog.exec();
    return 0;
}
