#include "ui/qt/DialogBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTreeView>

#include "ui/qt/VirtualListView.h"

namespace uhf {

DialogBuilder::DialogBuilder(const DialogTemplate& dialogTemplate) : template_(dialogTemplate) {}

DialogUnits DialogBuilder::Build(QDialog& dialog) {
    const QFont font = DialogUnits::TemplateFont(QString::fromStdString(template_.fontFamily),
                                                 template_.pointSize);
    dialog.setFont(font);
    // A window without a title would be named after the program by the platform: a blank one
    // keeps the caption empty.
    dialog.setWindowTitle(template_.title.empty() ? QStringLiteral(" ")
                                                  : QString::fromStdString(template_.title));
    if (!template_.systemMenu) {
        // A caption with its text alone: no window menu, icon or buttons.
        dialog.setWindowFlags(dialog.windowType() | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    }
    const DialogUnits units(font);

    QList<QWidget*> frames;
    for (const ControlTemplate& control : template_.controls) {
        QWidget* widget = Create(control, dialog);
        widget->setFont(font);
        QRect area = units.ToPixels(control.x, control.y, control.width, control.height);
        if (control.kind == ControlKind::Icon) {
            // An icon control sizes itself to the icon.
            area.setSize(QSize(32, 32));
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            if (combo->lineEdit() != nullptr) {
                // The edit field does not always follow its combo box's font.
                combo->lineEdit()->setFont(font);
            }
            // A template gives a combo box's height with its list dropped down; closed, it is
            // as tall as its edit field.
            area.setHeight(std::min(area.height(), units.ToPixelsY(12)));
            combo->setMaxVisibleItems(std::max(1, units.ToPixelsY(control.height) / 14));
        }
        widget->setGeometry(area);
        if (control.kind == ControlKind::GroupBox) {
            frames.append(widget);
        }
        if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
            view->setSelectionMode(QAbstractItemView::SingleSelection);
            view->setSelectionBehavior(QAbstractItemView::SelectRows);
            view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        }
        if (control.id >= 0) {
            widget->setObjectName(QStringLiteral("control%1").arg(control.id));
            controls_.insert(control.id, widget);
        }
    }
    for (QWidget* frame : frames) {
        frame->lower();
    }
    const QSize size(units.ToPixelsX(template_.width), units.ToPixelsY(template_.height));
    if (template_.resizable) {
        dialog.resize(size);
    } else {
        dialog.setFixedSize(size);
    }
    return units;
}

QWidget* DialogBuilder::Create(const ControlTemplate& control, QDialog& dialog) {
    switch (control.kind) {
        case ControlKind::GroupBox:
            return new QGroupBox(QString::fromStdString(control.text), &dialog);
        case ControlKind::Label:
            return new QLabel(QString::fromStdString(control.text), &dialog);
        case ControlKind::CenteredLabel: {
            auto* label = new QLabel(QString::fromStdString(control.text), &dialog);
            label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
            return label;
        }
        case ControlKind::PushButton:
        case ControlKind::DefaultPushButton: {
            auto* button = new QPushButton(QString::fromStdString(control.text), &dialog);
            button->setAutoDefault(false);
            button->setDefault(control.kind == ControlKind::DefaultPushButton);
            return button;
        }
        case ControlKind::DropDownList:
        case ControlKind::DropDownCombo: {
            auto* combo = new QComboBox(&dialog);
            const bool editable = control.kind == ControlKind::DropDownCombo;
            combo->setEditable(editable);
            QStringList items;
            for (const std::string& item : control.items) {
                items.append(QString::fromStdString(item));
            }
            if (editable) {
                items.sort();
                combo->setInsertPolicy(QComboBox::InsertAlphabetically);
            }
            combo->addItems(items);
            combo->setCurrentIndex(-1);
            return combo;
        }
        case ControlKind::Edit:
        case ControlKind::DigitsEdit:
        case ControlKind::ReadOnlyEdit: {
            auto* edit = new QLineEdit(QString::fromStdString(control.text), &dialog);
            if (control.kind == ControlKind::DigitsEdit) {
                edit->setValidator(new QRegularExpressionValidator(
                    QRegularExpression(QStringLiteral("[0-9]*")), edit));
            }
            edit->setReadOnly(control.kind == ControlKind::ReadOnlyEdit);
            return edit;
        }
        case ControlKind::RadioButton: {
            auto* radio = new QRadioButton(QString::fromStdString(control.text), &dialog);
            if (control.groupStart || radioGroup_ == nullptr) {
                radioGroup_ = new QButtonGroup(&dialog);
                // Windows radio pairs start with neither checked; so must ours.
                radioGroup_->setExclusive(true);
            }
            radioGroup_->addButton(radio);
            return radio;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(QString::fromStdString(control.text), &dialog);
        case ControlKind::ListView: {
            auto* view = new QTreeView(&dialog);
            view->setRootIsDecorated(false);
            view->setUniformRowHeights(true);
            view->setItemsExpandable(false);
            view->header()->setStretchLastSection(false);
            view->header()->setDefaultAlignment(Qt::AlignHCenter);
            return view;
        }
        case ControlKind::VirtualListView: {
            auto* view = new VirtualListView(&dialog);
            view->horizontalHeader()->setDefaultAlignment(Qt::AlignHCenter);
            return view;
        }
        case ControlKind::Icon: {
            auto* label = new QLabel(&dialog);
            label->setPixmap(dialog.windowIcon().pixmap(32, 32));
            return label;
        }
        case ControlKind::ProgressBar: {
            auto* bar = new QProgressBar(&dialog);
            bar->setTextVisible(false);
            return bar;
        }
    }
    return new QWidget(&dialog);
}

}  // namespace uhf
