#include "tesmarle/qt/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace uhf {

QPixmap DrawAppIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x8c));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);

    // The tag: a card with a chip.
    painter.setBrush(QColor(0xf2, 0xf2, 0xf2));
    painter.drawRoundedRect(QRectF(5, 15, 16, 12), 2, 2);
    painter.setBrush(QColor(0xd4, 0xa0, 0x17));
    painter.drawRect(QRectF(8, 18, 5, 5));

    // The reader's waves towards it.
    QPen wave(QColor(0xf2, 0xf2, 0xf2), 2.2, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(wave);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 0; ring < 3; ++ring) {
        const double radius = 5.0 + ring * 5.0;
        painter.drawArc(QRectF(27 - radius, 5 - radius, 2 * radius, 2 * radius), 180 * 16, 90 * 16);
    }
    return pixmap;
}

QIcon AppIcon() {
    QIcon icon;
    icon.addPixmap(DrawAppIcon(32));
    icon.addPixmap(DrawAppIcon(16));
    return icon;
}

}  // namespace uhf
