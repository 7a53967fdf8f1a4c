#include "ui/qt/DialogUnits.h"

#include <QFontMetrics>

namespace uhf {

namespace {

// Rounds a * b / c to the nearest integer, halves away from zero.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    const long long half = c / 2;
    return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    baseWidth_ = (letters / 26 + 1) / 2;
    baseHeight_ = metrics.ascent() + metrics.descent();
}

DialogUnits::DialogUnits(int baseWidth, int baseHeight)
    : baseWidth_(baseWidth), baseHeight_(baseHeight) {}

int DialogUnits::ToPixelsX(int x) const {
    return MulDiv(x, baseWidth_, 4);
}

int DialogUnits::ToPixelsY(int y) const {
    return MulDiv(y, baseHeight_, 8);
}

QRect DialogUnits::ToPixels(int x, int y, int width, int height) const {
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(width), ToPixelsY(height));
}

QFont DialogUnits::TemplateFont(const QString& family, int pointSize) {
    QFont font(family);
    font.setPixelSize(MulDiv(pointSize, 96, 72));
    font.setStyleHint(QFont::Serif);
    return font;
}

}  // namespace uhf
