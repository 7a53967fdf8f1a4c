#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeView>

#include "ferrowin/DownloadTemplate.h"
#include "ui/qt/DialogBuilder.h"

namespace uhf {
namespace {

// The window's layout as the tool has always drawn it, in dialog units.
struct PlacedControl {
    const char* what;  // control text, or a name for controls without one
    int id;            // -1 for labels and the frame, found by text
    int x, y, width, height;
};

void PrintTo(const PlacedControl& control, std::ostream* out) {
    *out << control.what;
}

class DownloadLayoutTest : public testing::TestWithParam<PlacedControl> {
  protected:
    static void SetUpTestSuite() {
        dialog = new QDialog;
        builder = new DialogBuilder(DownloadTemplate::Get());
        units = new DialogUnits(builder->Build(*dialog));
    }
    static void TearDownTestSuite() {
        delete units;
        delete builder;
        delete dialog;
    }

    static QWidget* Find(const PlacedControl& control) {
        if (control.id >= 0) {
            return builder->Control(control.id);
        }
        for (QWidget* child : dialog->findChildren<QWidget*>()) {
            const auto* label = qobject_cast<QLabel*>(child);
            const auto* frame = qobject_cast<QGroupBox*>(child);
            if ((label && label->text() == control.what) ||
                (frame && frame->title() == control.what)) {
                if (child->geometry().topLeft() ==
                    QPoint(units->ToPixelsX(control.x), units->ToPixelsY(control.y))) {
                    return child;
                }
            }
        }
        return nullptr;
    }

    static QDialog* dialog;
    static DialogBuilder* builder;
    static DialogUnits* units;
};

QDialog* DownloadLayoutTest::dialog = nullptr;
DialogBuilder* DownloadLayoutTest::builder = nullptr;
DialogUnits* DownloadLayoutTest::units = nullptr;

TEST_P(DownloadLayoutTest, ControlSitsAtItsPlaceInDialogUnits) {
    const PlacedControl& control = GetParam();
    QWidget* widget = Find(control);
    ASSERT_NE(widget, nullptr) << control.what;
    QRect expected = units->ToPixels(control.x, control.y, control.width, control.height);
    if (qobject_cast<QComboBox*>(widget) != nullptr) {
        // Closed, a drop-down list is one edit field high; the table gives it dropped down.
        expected.setHeight(units->ToPixelsY(12));
    }
    EXPECT_EQ(widget->geometry(), expected);
    EXPECT_TRUE(QRect(QPoint(0, 0), dialog->size()).contains(widget->geometry()));
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        EXPECT_EQ(button->text(), control.what);
    }
}

using Id = DownloadTemplate::Id;
INSTANTIATE_TEST_SUITE_P(
    EveryControl, DownloadLayoutTest,
    testing::Values(PlacedControl{"path box", Id::kPathBox, 14, 7, 237, 12},
                    PlacedControl{"log list", Id::kLogList, 14, 35, 238, 168},
                    PlacedControl{"SerialPort", -1, 260, 28, 99, 109},
                    PlacedControl{"port list", Id::kPortList, 269, 41, 62, 100},
                    PlacedControl{"Baudrate", -1, 262, 62, 49, 8},
                    PlacedControl{"working baud-rate list", Id::kDeviceBaudList, 269, 73, 62, 85},
                    PlacedControl{"bps", -1, 337, 75, 15, 8},
                    PlacedControl{"download baudrate", -1, 262, 95, 46, 8},
                    PlacedControl{"download baud-rate list", Id::kDownloadBaudList, 269, 107, 62,
                                  88},
                    PlacedControl{"bps", -1, 337, 109, 13, 8},
                    PlacedControl{"File", Id::kFileButton, 277, 146, 55, 14},
                    PlacedControl{"Download", Id::kDownloadButton, 277, 168, 55, 14},
                    PlacedControl{"Exist", Id::kExistButton, 277, 190, 55, 14},
                    PlacedControl{"progress bar", Id::kProgressBar, 14, 214, 240, 14}));

TEST_F(DownloadLayoutTest, WindowIsFixedAtItsSizeInTheDialogFont) {
    const DialogTemplate& t = DownloadTemplate::Get();
    EXPECT_EQ(t.title, "UHF Reader Download Tools");
    EXPECT_EQ(t.fontFamily, "宋体");
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(dialog->size(), QSize(units->ToPixelsX(366), units->ToPixelsY(242)));
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_EQ(dialog->windowTitle(), "UHF Reader Download Tools");
}

TEST_F(DownloadLayoutTest, ControlsHaveTheirKindsAndItems) {
    EXPECT_TRUE(builder->ControlAs<QLineEdit>(Id::kPathBox)->isReadOnly());
    EXPECT_TRUE(builder->ControlAs<QLineEdit>(Id::kPathBox)->text().isEmpty());
    EXPECT_EQ(builder->ControlAs<QTreeView>(Id::kLogList)->selectionMode(),
              QAbstractItemView::SingleSelection);
    EXPECT_NE(builder->ControlAs<QProgressBar>(Id::kProgressBar), nullptr);
    const QStringList rates = {"9600", "19200", "38400", "57600", "115200"};
    for (int id : {Id::kDeviceBaudList, Id::kDownloadBaudList}) {
        auto* list = builder->ControlAs<QComboBox>(id);
        ASSERT_NE(list, nullptr);
        EXPECT_FALSE(list->isEditable());
        QStringList items;
        for (int i = 0; i < list->count(); ++i) {
            items.append(list->itemText(i));
        }
        EXPECT_EQ(items, rates);
        EXPECT_EQ(list->currentIndex(), -1);
    }
    auto* ports = builder->ControlAs<QComboBox>(Id::kPortList);
    EXPECT_FALSE(ports->isEditable());
    EXPECT_EQ(ports->count(), 0);
}

}  // namespace
}  // namespace uhf
