#include "downloader/app/AboutDialog.h"

#include <QPushButton>

#include "widgets/qt/DialogBuilder.h"

namespace uhf {

namespace {

enum AboutId { kIcon = 1, kOk = 2 };

const DialogTemplate& AboutTemplate() {
    using K = ControlKind;
    static const DialogTemplate about = [] {
        DialogTemplate t;
        t.title = "关于 Ferrowin";
        t.width = 235;
        t.height = 55;
        t.fontFamily = "宋体";
        t.pointSize = 9;
        t.controls = {
            {kIcon, K::Icon, "", 11, 17, 20, 20},
            {-1, K::Label, "Ferrowin 5.0 版", 40, 10, 119, 8},
            {-1, K::Label, "UHF Upgrade Tool", 40, 25, 119, 8},
            {kOk, K::DefaultPushButton, "确定", 178, 7, 50, 16},
        };
        return t;
    }();
    return about;
}

}  // namespace

AboutDialog::AboutDialog(const QIcon& icon, QWidget* parent) : QDialog(parent) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowIcon(icon);
    DialogBuilder builder(AboutTemplate());
    builder.Build(*this);
    if (auto* ok = builder.ControlAs<QPushButton>(kOk)) {
        ok->setObjectName(QStringLiteral("aboutOk"));
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

}  // namespace uhf
