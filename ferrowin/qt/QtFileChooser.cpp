#include "ferrowin/qt/QtFileChooser.h"

#include <QFileDialog>

namespace uhf {

std::optional<std::string> QtFileChooser::ChooseFirmware() {
    QFileDialog dialog(parent_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("bin"));
    dialog.setNameFilter(QStringLiteral("bin(*.bin)"));
    // Picking an existing image is the point here, so no "replace it?" question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

}  // namespace uhf
