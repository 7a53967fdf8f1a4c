#pragma once

#include <QDialog>
#include <QIcon>

namespace uhf {

// The about box: "关于 Ferrowin" with the program's name and version and a "确定" button.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(const QIcon& icon, QWidget* parent = nullptr);
};

}  // namespace uhf
