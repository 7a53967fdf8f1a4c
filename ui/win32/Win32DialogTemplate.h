#pragma once

#include <windows.h>

#include <vector>

#include "ui/DialogTemplate.h"

namespace uhf {

// A control table as the in-memory DLGTEMPLATEEX that CreateDialogIndirectParamW and
// DialogBoxIndirectParamW take: the system converts the dialog units with the template's font.
// Combo box items and initial texts of lists are not part of the format; Fill puts them in.
class Win32DialogTemplate {
  public:
    explicit Win32DialogTemplate(const DialogTemplate& dialogTemplate);

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
    // Adds the table's combo box items to the created dialog.
    void Fill(HWND dialog) const;

    const DialogTemplate& Table() const { return template_; }

  private:
    void Word(unsigned value) { words_.push_back(static_cast<WORD>(value)); }
    void Dword(DWORD value);
    void Text(const std::string& utf8);
    void Align();
    void AddControl(const ControlTemplate& control);

    const DialogTemplate& template_;
    std::vector<WORD> words_;
};

}  // namespace uhf
