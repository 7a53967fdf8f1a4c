#include "ui/qt/MessageBoxNotifier.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>
#include <utility>

namespace uhf {

namespace {

// Qt sizes a box for its text and buttons, and keeps only 50 pixels beside its caption for the
// caption bar's icon and buttons; window managers take more, and a short message's caption
// showed as its first letter. This leaves room for a caption centred between three buttons on
// either side, each a square as tall as the bar.
int CaptionWidth(const QString& caption) {
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    const int bar = title.height() + 12;
    return title.horizontalAdvance(caption) + 6 * bar;
}

}  // namespace

MessageBoxNotifier::MessageBoxNotifier(QString caption, QMessageBox::Icon icon)
    : caption_(std::move(caption)), icon_(icon) {}

void MessageBoxNotifier::Notify(const QString& text) {
    QMessageBox box(icon_, caption_, text, QMessageBox::Ok, parent_);
    // The box keeps its width at least as wide as its layout's; a spacer row widens that.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(
            new QSpacerItem(CaptionWidth(caption_), 0, QSizePolicy::Fixed, QSizePolicy::Fixed),
            grid->rowCount(), 0, 1, grid->columnCount());
    }
    box.exec();
}

}  // namespace uhf
