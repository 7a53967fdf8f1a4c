#pragma once

#include <QString>

namespace uhf {

// Where a dialog's messages go: modal message boxes in the programs, a recorder in tests.
class Notifier {
  public:
    virtual ~Notifier() = default;
    virtual void Notify(const QString& text) = 0;
};

}  // namespace uhf
