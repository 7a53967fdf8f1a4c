#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "ui/qt/DialogBuilder.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/MessageBoxNotifier.h"
#include "ui/qt/WaitCursor.h"

namespace uhf {
namespace {

TEST(DialogUnitsTest, ConvertsWithTheBaseUnitsRoundingToNearest) {
    const DialogUnits units(6, 15);
    EXPECT_EQ(units.ToPixelsX(4), 6);
    EXPECT_EQ(units.ToPixelsX(285), 428);  // 427.5 rounds up
    EXPECT_EQ(units.ToPixelsY(8), 15);
    EXPECT_EQ(units.ToPixelsY(229), 429);  // 429.375
    EXPECT_EQ(units.ToPixels(47, 21, 57, 69), QRect(71, 39, 86, 129));
}

TEST(DialogUnitsTest, TemplateFontIsSizedForNinetySixDotsPerInch) {
    EXPECT_EQ(DialogUnits::TemplateFont("Times New Roman", 9).pixelSize(), 12);
    const DialogUnits units(DialogUnits::TemplateFont("Times New Roman", 9));
    EXPECT_GT(units.baseWidth(), 3);
    EXPECT_GT(units.baseHeight(), 10);
}

DialogTemplate TwoRadioPairs() {
    DialogTemplate t;
    t.title = "Probe";
    t.width = 100;
    t.height = 60;
    t.fontFamily = "Times New Roman";
    t.controls = {
        {1, ControlKind::RadioButton, "a", 0, 0, 40, 10, {}, true},
        {2, ControlKind::RadioButton, "b", 50, 0, 40, 10, {}, false},
        {3, ControlKind::RadioButton, "c", 0, 20, 40, 10, {}, true},
        {4, ControlKind::RadioButton, "d", 50, 20, 40, 10, {}, false},
        {5, ControlKind::DropDownCombo, "", 0, 40, 40, 50, {"3", "1", "2"}},
        {6, ControlKind::DigitsEdit, "", 50, 40, 40, 12},
        {-1, ControlKind::Label, "label", 0, 50, 20, 8},
    };
    return t;
}

TEST(DialogBuilderTest, RadioGroupsAreIndependentAndComboItemsSorted) {
    const DialogTemplate t = TwoRadioPairs();
    QDialog dialog;
    DialogBuilder builder(t);
    const DialogUnits units = builder.Build(dialog);

    auto* a = builder.ControlAs<QRadioButton>(1);
    auto* c = builder.ControlAs<QRadioButton>(3);
    auto* d = builder.ControlAs<QRadioButton>(4);
    ASSERT_TRUE(a && c && d);
    EXPECT_FALSE(a->isChecked());
    a->setChecked(true);
    c->setChecked(true);
    EXPECT_TRUE(a->isChecked()) << "checking in the second pair must not clear the first";
    d->setChecked(true);
    EXPECT_FALSE(c->isChecked());

    auto* combo = builder.ControlAs<QComboBox>(5);
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->itemText(0), "1");
    EXPECT_EQ(combo->itemText(2), "3");
    EXPECT_EQ(combo->currentIndex(), -1);
    ASSERT_NE(combo->lineEdit(), nullptr);
    EXPECT_EQ(combo->lineEdit()->font(), dialog.font());

    auto* edit = builder.ControlAs<QLineEdit>(6);
    ASSERT_NE(edit, nullptr);
    QString text = "12a";
    int pos = 0;
    EXPECT_EQ(edit->validator()->validate(text, pos), QValidator::Invalid);

    EXPECT_EQ(dialog.size(), QSize(units.ToPixelsX(100), units.ToPixelsY(60)));
    EXPECT_EQ(a->geometry(), units.ToPixels(0, 0, 40, 10));
    EXPECT_EQ(builder.Control(-1), nullptr);
}

TEST(DialogBuilderTest, ResizableTemplateKeepsItsSizeButMayBeResized) {
    DialogTemplate t = TwoRadioPairs();
    t.resizable = true;
    QDialog dialog;
    DialogBuilder builder(t);
    const DialogUnits units = builder.Build(dialog);
    EXPECT_EQ(dialog.size(), QSize(units.ToPixelsX(100), units.ToPixelsY(60)));
    EXPECT_NE(dialog.minimumSize(), dialog.maximumSize());
    const QRect before = builder.Control(1)->geometry();
    dialog.resize(dialog.width() * 2, dialog.height() * 2);
    EXPECT_EQ(builder.Control(1)->geometry(), before) << "controls keep their places";
}

TEST(DialogBuilderTest, CaptionShowsTheTitleOrNothingAndTheWindowMenuOnlyWhenAsked) {
    struct Case {
        const char* title;
        bool systemMenu;
    };
    for (const Case& c : {Case{"Probe", true}, Case{"", false}}) {
        SCOPED_TRACE(c.title);
        DialogTemplate t = TwoRadioPairs();
        t.title = c.title;
        t.systemMenu = c.systemMenu;
        QDialog dialog;
        DialogBuilder(t).Build(dialog);
        // The platform names an untitled window after the program: the title must not be empty.
        EXPECT_FALSE(dialog.windowTitle().isEmpty());
        EXPECT_EQ(dialog.windowTitle().trimmed(), QString(c.title));
        const Qt::WindowFlags flags = dialog.windowFlags();
        EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint)) << "a caption bar in either case";
        EXPECT_EQ(flags.testFlag(Qt::WindowSystemMenuHint), c.systemMenu);
        EXPECT_EQ(flags.testFlag(Qt::WindowCloseButtonHint), c.systemMenu);
    }
}

// Shows a message the way the programs do and measures the box while it is open.
struct ShownBox {
    QString title;
    int width = 0;
};

ShownBox ShowMessage(const QString& caption, QMessageBox::Icon icon, const QString& text,
                     const QString& render) {
    ShownBox shown;
    MessageBoxNotifier notifier(caption, icon);
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            return;
        }
        shown.title = box->windowTitle();
        shown.width = box->width();
        box->grab().save(QDir(UHF_RENDER_DIR).filePath(render));
        box->accept();
    });
    // Only in case the box was not found: no hang.
    QTimer::singleShot(5000, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    notifier.Notify(text);
    return shown;
}

TEST(MessageBoxNotifierTest, BoxesAreWideEnoughForTheirCaptionBesideTheCaptionsButtons) {
    struct Case {
        QString caption;
        QMessageBox::Icon icon;
        QString text;
        QString render;
    };
    const Case cases[] = {
        {"Warning", QMessageBox::Information, "Open Fail!", "message-open-fail.png"},
        {"提示", QMessageBox::Warning, "本电脑没有可用的串口!", "message-no-port.png"},
        {"A caption much longer than the text beneath it", QMessageBox::Information, "OK.",
         "message-long-caption.png"},
    };
    QDir().mkpath(UHF_RENDER_DIR);
    const QFontMetrics title(QFontDatabase::systemFont(QFontDatabase::TitleFont));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption.toStdString());
        const ShownBox shown = ShowMessage(c.caption, c.icon, c.text, c.render);
        EXPECT_EQ(shown.title, c.caption);
        // Room at least for three buttons on either side of a centred caption, each as wide as
        // the caption's text is tall.
        EXPECT_GE(shown.width, title.horizontalAdvance(c.caption) + 6 * title.height());
    }
}

TEST(DialogBuilderTest, IconControlShowsTheDialogIconAtItsPosition) {
    DialogTemplate t;
    t.width = 100;
    t.height = 50;
    t.fontFamily = "Times New Roman";
    t.controls = {{7, ControlKind::Icon, "", 11, 17, 0, 0}};
    QDialog dialog;
    QPixmap image(32, 32);
    image.fill(Qt::red);
    dialog.setWindowIcon(QIcon(image));
    DialogBuilder builder(t);
    const DialogUnits units = builder.Build(dialog);
    auto* label = builder.ControlAs<QLabel>(7);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->geometry(), QRect(units.ToPixelsX(11), units.ToPixelsY(17), 32, 32));
    EXPECT_EQ(label->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
}

TEST(WaitCursorTest, ShowsTheWaitCursorOnlyWhileAlive) {
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    {
        WaitCursor wait;
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace uhf
