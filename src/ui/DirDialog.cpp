#include "ui/DirDialog.h"

#include <QFileDialog>

#include "driver/WizardRules.h"
#include "ui/AppMessageBox.h"

namespace ts {

std::string ChooseDirectory(QWidget* parent, const std::string& start) {
    QFileDialog dlg(parent, DialogCaption(QObject::tr("Choose a Directory")),
                    QString::fromStdString(start));
    dlg.setFileMode(QFileDialog::Directory);
    dlg.setOption(QFileDialog::ShowDirsOnly);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::string();
    return ChosenDirectory(dlg.selectedFiles().first().toStdString());
}

std::string ChosenDirectory(const std::string& selected) {
    if (selected.empty()) return selected;
    return NormalizeDirectory(selected);
}

}  // namespace ts
