#include <QApplication>
#include <QMessageBox>

#include "common/PortConfig.h"
#include "downloader/app/DialogFonts.h"
#include "downloader/app/DownloadDialog.h"
#include "downloader/app/FerrowinIcon.h"
#include "downloader/app/QtFileChooser.h"
#include "serial/qt/QtCommControl.h"
#include "widgets/MessageBoxNotifier.h"

// Ferrowin: shows the download window modally; the program ends when it closes.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ferrowin"));
    QApplication::setWindowIcon(uhf::FerrowinIcon::Create());
    uhf::DialogFonts::InstallSubstitutes();

    uhf::PortConfig config;
    uhf::QtCommControl comm;
    uhf::MessageBoxNotifier notifier(QStringLiteral("提示"), QMessageBox::Warning);
    uhf::QtFileChooser files;
    uhf::DownloadDialog dialog(config, comm, notifier, files);
    notifier.SetParent(&dialog);
    dialog.exec();
    return 0;
}
