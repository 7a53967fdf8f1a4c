#include "ferrowin/qt/AboutDialog.h"

#include <QPushButton>

#include "ferrowin/DownloadTemplate.h"
#include "ui/qt/DialogBuilder.h"

namespace uhf {

AboutDialog::AboutDialog(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(icon);
    DialogBuilder builder(DownloadTemplate::About());
    builder.Build(*this);
    if (auto* ok = builder.ControlAs<QPushButton>(DownloadTemplate::kAboutOk)) {
        ok->setObjectName(QStringLiteral("aboutOk"));
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

}  // namespace uhf
