#pragma once

#include <QDialog>

#include "ui/qt/DialogBuilder.h"

namespace uhf {

// The about box of Tesmarle: icon, name and version, and an OK button.
class AboutBox : public QDialog {
    Q_OBJECT

  public:
    explicit AboutBox(QWidget* parent = nullptr);

    QWidget* Control(int id) const { return builder_.Control(id); }

  private:
    DialogBuilder builder_;
};

}  // namespace uhf
