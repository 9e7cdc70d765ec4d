// The run's questions as windows: the setup wizard, the Rename File prompt, the Read-only File
// question and the two verification lists.
#include "base/RunSettings.h"
#include "ui/QtRunUi.h"
#include "ui/ReadOnlyDlg.h"
#include "ui/RenameDlg.h"
#include "ui/VerAsciiDlg.h"
#include "ui/VerDlg.h"
#include "ui/WizardSheet.h"

namespace ts {

bool CQtRunUi::RunWizard(RunSettings& settings) {
    CWizardSheet sheet(*m_pFs, Owner());
    return sheet.Run(settings);
}

RenameAnswer CQtRunUi::RenamePrompt(CRunContext&, CFileNode& node, int target, bool inPass) {
    CRenameDlg dlg(&node, target, inPass, Owner());
    return static_cast<RenameAnswer>(dlg.exec());
}

ReadOnlyAnswer CQtRunUi::ReadOnlyPrompt(const std::string& text) {
    CReadOnlyDlg dlg(Owner());
    dlg.SetText(QString::fromStdString(text));
    return static_cast<ReadOnlyAnswer>(dlg.exec());
}

VerifyChoices CQtRunUi::VerifyFilenames(CVerifyNameList& list) {
    CVerDlg dlg(list, true, Owner());
    bool ok = dlg.exec() == QDialog::Accepted;
    return {ok, dlg.Checked()};
}

VerifyChoices CQtRunUi::VerifyLineEnds(const std::string& directory,
                                       const std::vector<LineEndRow>& rows) {
    CVerAsciiDlg dlg(directory, rows, Owner());
    bool ok = dlg.exec() == QDialog::Accepted;
    return {ok, dlg.Checked()};
}

}  // namespace ts
