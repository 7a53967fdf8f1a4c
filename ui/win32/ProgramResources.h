// The resource ids that the programs' resource scripts (packaging/windows/program.rc.in) give
// and their code loads. Plain preprocessor text: the resource compiler reads it too.
#pragma once

// The program's icon, large and small.
#define UHF_APP_ICON 128
