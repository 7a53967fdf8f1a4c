#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "ferrowin/qt/AboutDialog.h"
#include "ferrowin/qt/FerrowinIcon.h"

namespace uhf {
namespace {

QStringList LabelTexts(const QWidget& widget) {
    QStringList texts;
    for (const QLabel* label : widget.findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) {
            texts.append(label->text());
        }
    }
    return texts;
}

TEST(AboutDialogTest, ShowsNameVersionAndToolLineUnderItsTitle) {
    AboutDialog about(FerrowinIcon::Create());
    EXPECT_EQ(about.windowTitle(), "关于 Ferrowin");
    const QStringList texts = LabelTexts(about);
    EXPECT_TRUE(texts.contains("Ferrowin 5.0 版"));
    EXPECT_TRUE(texts.contains("UHF Upgrade Tool"));
    auto* ok = about.findChild<QPushButton*>("aboutOk");
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "确定");
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutDialogTest, OkButtonClosesTheModalBox) {
    AboutDialog about(FerrowinIcon::Create());
    QTimer::singleShot(0, &about, [&about] { about.findChild<QPushButton*>("aboutOk")->click(); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

}  // namespace
}  // namespace uhf
