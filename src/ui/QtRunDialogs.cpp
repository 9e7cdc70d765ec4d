// The run's questions as windows: the setup wizard, the Rename File prompt, the Read-only File
// question and the two verification lists.
#include "base/RunSettings.h"
#include "site/DirXpNode.h"
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

int CQtRunUi::RenamePrompt(CRunContext&, CFileNode& node, int target, bool inPass) {
    CRenameDlg dlg(&node, target, inPass, Owner());
    return dlg.exec();
}

int CQtRunUi::ReadOnlyPrompt(const std::string& text) {
    CReadOnlyDlg dlg(Owner());
    dlg.SetText(QString::fromStdString(text));
    return dlg.exec();
}

bool CQtRunUi::VerifyFilenames(CRunContext& ctx, CDirXpNode& top, int target) {
    CVerDlg dlg(ctx, top, target, true, Owner());
    return dlg.exec() == QDialog::Accepted;
}

int CQtRunUi::VerifyLineEnds(CRunContext& ctx, CDirXpNode& top) {
    CVerAsciiDlg dlg(ctx, top, Owner());
    return dlg.exec();
}

}  // namespace ts
