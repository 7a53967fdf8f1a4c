#pragma once

#include "tesmarle/TesmarleControlIds.h"
#include "ui/DialogTemplate.h"

namespace uhf {

// The three windows of Tesmarle as control tables in dialog units.
const DialogTemplate& ParamDialogTemplate();
const DialogTemplate& TagDialogTemplate();
const DialogTemplate& AboutBoxTemplate();

}  // namespace uhf
