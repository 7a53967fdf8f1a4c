#pragma once

#include <QFont>
#include <QRect>

namespace uhf {

// Converts dialog-template units to pixels the way the original dialog toolkit does: from the
// dialog font's average character width (over the 52 letters A-Z, a-z) and its height,
// x * width / 4 and y * height / 8, rounded to the nearest pixel.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    DialogUnits(int baseWidth, int baseHeight);

    int baseWidth() const { return baseWidth_; }
    int baseHeight() const { return baseHeight_; }

    int ToPixelsX(int x) const;
    int ToPixelsY(int y) const;
    QRect ToPixels(int x, int y, int width, int height) const;

    // The dialog font as the templates name it: family and point size at 96 dots per inch, so
    // that a layout comes out the same on every screen and on the offscreen platform.
    static QFont TemplateFont(const QString& family, int pointSize);

  private:
    int baseWidth_;
    int baseHeight_;
};

}  // namespace uhf
