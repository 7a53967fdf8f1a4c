#pragma once

#include <QButtonGroup>
#include <QDialog>
#include <QHash>
#include <QWidget>

#include "ui/DialogTemplate.h"
#include "ui/qt/DialogUnits.h"

namespace uhf {

// Creates the controls of a template on a dialog at their converted positions and sizes the
// dialog's client area. Controls with an id can be looked up afterwards.
class DialogBuilder {
  public:
    explicit DialogBuilder(const DialogTemplate& dialogTemplate);

    // Builds every control on `dialog` and fixes its client size; returns the dialog units used.
    DialogUnits Build(QDialog& dialog);

    QWidget* Control(int id) const { return controls_.value(id, nullptr); }
    template <typename T>
    T* ControlAs(int id) const {
        return qobject_cast<T*>(Control(id));
    }

  private:
    QWidget* Create(const ControlTemplate& control, QDialog& dialog);

    const DialogTemplate& template_;
    QHash<int, QWidget*> controls_;
    QButtonGroup* radioGroup_ = nullptr;
};

}  // namespace uhf
