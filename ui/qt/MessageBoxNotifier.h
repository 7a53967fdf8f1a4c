#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include "ui/qt/Notifier.h"

namespace uhf {

// Shows each message in a modal box with a fixed caption and icon and an OK button, the box
// wide enough to show its caption whole.
class MessageBoxNotifier : public Notifier {
  public:
    MessageBoxNotifier(QString caption, QMessageBox::Icon icon);

    void SetParent(QWidget* parent) { parent_ = parent; }
    void Notify(const QString& text) override;

  private:
    QString caption_;
    QMessageBox::Icon icon_;
    QPointer<QWidget> parent_;
};

}  // namespace uhf
