#include "ferrowin/qt/FerrowinIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace uhf {

QPixmap FerrowinIcon::Draw(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x8c));
    painter.drawRoundedRect(QRectF(s * 0.06, s * 0.06, s * 0.88, s * 0.88), s * 0.15, s * 0.15);
    QPainterPath arrow;
    arrow.moveTo(s * 0.40, s * 0.20);
    arrow.lineTo(s * 0.60, s * 0.20);
    arrow.lineTo(s * 0.60, s * 0.50);
    arrow.lineTo(s * 0.76, s * 0.50);
    arrow.lineTo(s * 0.50, s * 0.80);
    arrow.lineTo(s * 0.24, s * 0.50);
    arrow.lineTo(s * 0.40, s * 0.50);
    arrow.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    return pixmap;
}

QIcon FerrowinIcon::Create() {
    QIcon icon;
    icon.addPixmap(Draw(16));
    icon.addPixmap(Draw(32));
    icon.addPixmap(Draw(48));
    return icon;
}

}  // namespace uhf
