#include "tesmarle/qt/AboutBox.h"

#include <QPushButton>

#include "tesmarle/qt/AppIcon.h"
#include "tesmarle/TesmarleTemplates.h"

namespace uhf {

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      builder_(AboutBoxTemplate()) {
    setWindowIcon(AppIcon());
    builder_.Build(*this);
    connect(builder_.ControlAs<QPushButton>(kAboutOkButton), &QPushButton::clicked, this,
            &QDialog::accept);
}

}  // namespace uhf
