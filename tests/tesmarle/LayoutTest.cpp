#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QSet>

#include "tesmarle/TesmarleTemplates.h"
#include "tesmarle/qt/AboutBox.h"
#include "ui/qt/DialogUnits.h"

#ifndef UHF_RENDER_DIR
#error "UHF_RENDER_DIR names the folder that receives the renders"
#endif

namespace uhf {
namespace {

class TemplateTest : public testing::TestWithParam<const DialogTemplate* (*)()> {};

TEST_P(TemplateTest, ControlsLieInsideTheWindowWithUniqueIdsAndTheDialogFont) {
    const DialogTemplate& t = *GetParam()();
    EXPECT_EQ(t.fontFamily, "Times New Roman");
    EXPECT_EQ(t.pointSize, 9);
    QSet<int> ids;
    for (const ControlTemplate& c : t.controls) {
        EXPECT_GE(c.x, 0) << c.text;
        EXPECT_GE(c.y, 0) << c.text;
        EXPECT_LE(c.x + c.width, t.width) << c.text;
        if (c.kind != ControlKind::DropDownList && c.kind != ControlKind::DropDownCombo) {
            // Lists give their dropped-down height; the rest must fit the window.
            EXPECT_LE(c.y + c.height, t.height) << c.text;
        }
        if (c.id >= 0) {
            EXPECT_FALSE(ids.contains(c.id)) << "duplicate id " << c.id;
            ids.insert(c.id);
        }
    }
}

TEST_P(TemplateTest, PushButtonsDoNotOverlap) {
    const DialogTemplate& t = *GetParam()();
    std::vector<QRect> buttons;
    for (const ControlTemplate& c : t.controls) {
        if (c.kind == ControlKind::PushButton || c.kind == ControlKind::DefaultPushButton) {
            const QRect r(c.x, c.y, c.width, c.height);
            for (const QRect& other : buttons) {
                EXPECT_FALSE(r.intersects(other)) << c.text;
            }
            buttons.push_back(r);
        }
    }
    EXPECT_FALSE(buttons.empty());
}

const DialogTemplate* Param() {
    return &ParamDialogTemplate();
}
const DialogTemplate* Tag() {
    return &TagDialogTemplate();
}
const DialogTemplate* About() {
    return &AboutBoxTemplate();
}

std::string WindowName(const testing::TestParamInfo<const DialogTemplate* (*)()>& info) {
    static const char* const kNames[] = {"ParamDialog", "TagDialog", "AboutBox"};
    return kNames[info.index];
}

INSTANTIATE_TEST_SUITE_P(Windows, TemplateTest, testing::Values(&Param, &Tag, &About), WindowName);

TEST(LayoutTest, DialogFontResolvesToTimesOrItsMetricTwin) {
    const QFont font = DialogUnits::TemplateFont("Times New Roman", 9);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == "Times New Roman" || family == "Liberation Serif")
        << family.toStdString() << ": install fonts-liberation so the layout holds";
}

TEST(LayoutTest, AboutBoxShowsNameVersionIconAndDefaultOk) {
    AboutBox about;
    EXPECT_EQ(about.windowTitle(), "Tesmarle");
    const DialogUnits units(about.font());
    EXPECT_EQ(about.size(), QSize(units.ToPixelsX(235), units.ToPixelsY(55)));
    auto* ok = qobject_cast<QPushButton*>(about.Control(kAboutOkButton));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), units.ToPixels(178, 7, 50, 14));
    auto* icon = qobject_cast<QLabel*>(about.Control(kAboutIcon));
    ASSERT_NE(icon, nullptr);
    EXPECT_FALSE(icon->pixmap().isNull());
    const QList<QLabel*> labels = about.findChildren<QLabel*>();
    const bool hasVersion = std::any_of(labels.begin(), labels.end(), [&](QLabel* l) {
        return l->text() == "Tesmarle 1.0 " && l->geometry() == units.ToPixels(40, 10, 79, 8);
    });
    EXPECT_TRUE(hasVersion);

    about.show();
    ok->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
    EXPECT_FALSE(about.isVisible());

    QDir().mkpath(UHF_RENDER_DIR);
    EXPECT_TRUE(about.grab().save(UHF_RENDER_DIR "/about-box.png"));
}

}  // namespace
}  // namespace uhf
