// icon-export: writes the windows' icons, which are drawn in code, as the PNG files of the
// desktop's icon theme: OUTDIR/<N>x<N>/apps/tesmarle.png and ferrowin.png for each size N.
// Usage: icon-export OUTDIR N...
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <string>

#include "ferrowin/qt/FerrowinIcon.h"
#include "tesmarle/qt/AppIcon.h"

namespace {

bool Save(const QPixmap& pixmap, const QString& path) {
    if (!QDir().mkpath(QFileInfo(path).path()) || !pixmap.save(path, "PNG")) {
        std::fprintf(stderr, "icon-export: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() < 3) {
        std::fputs("usage: icon-export OUTDIR N...\n", stderr);
        return 2;
    }
    const QString out = args[1];
    for (const QString& text : args.mid(2)) {
        bool number = false;
        const int size = text.toInt(&number);
        if (!number || size < 8 || size > 1024) {
            std::fprintf(stderr, "icon-export: not an icon size: %s\n", qPrintable(text));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps/").arg(out).arg(size);
        if (!Save(uhf::DrawAppIcon(size), folder + QStringLiteral("tesmarle.png")) ||
            !Save(uhf::FerrowinIcon::Draw(size), folder + QStringLiteral("ferrowin.png"))) {
            return 1;
        }
    }
    return 0;
}
