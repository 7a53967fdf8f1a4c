#pragma once

#include <QString>
#include <QStringList>

#include "ui/qt/Notifier.h"

namespace uhf {

// Keeps every message a dialog shows, in order, instead of opening a box.
class RecordingNotifier : public Notifier {
  public:
    void Notify(const QString& text) override { messages.append(text); }

    QString Last() const { return messages.isEmpty() ? QString() : messages.last(); }

    QStringList messages;
};

}  // namespace uhf
