#include "ferrowin/qt/DialogFonts.h"

#include <QFont>
#include <QStringList>

namespace uhf {

void DialogFonts::InstallSubstitutes() {
    const QStringList standIns = {QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                                  QStringLiteral("WenQuanYi Zen Hei"),
                                  QStringLiteral("Noto Sans CJK SC")};
    // Substitutes only apply when the asked-for family itself is missing.
    QFont::insertSubstitutions(QStringLiteral("宋体"), standIns);
    QFont::insertSubstitutions(QStringLiteral("SimSun"), standIns.mid(1));
}

}  // namespace uhf
