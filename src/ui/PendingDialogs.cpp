// Stand-ins for the setup wizard and the verification and prompt dialogs, until those windows
// exist: a run uses the stored settings as they are and accepts every proposal. Everything
// here is replaced as a whole by the real dialogs.
#include "app/RunSettings.h"
#include "ui/QtRunUi.h"

namespace ts {

bool CQtRunUi::RunWizard(RunSettings&) {
    return true;
}

int CQtRunUi::RenamePrompt(CRunContext&, CFileNode&, int, bool) {
    return RENAME_ACCEPT;
}

int CQtRunUi::ReadOnlyPrompt(const std::string&) {
    return READONLY_YES;
}

bool CQtRunUi::VerifyFilenames(CRunContext&, CDirXpNode&, int) {
    return true;
}

int CQtRunUi::VerifyLineEnds(CRunContext&, CDirXpNode&) {
    return VERIFY_ASCII_SOME;
}

}  // namespace ts
