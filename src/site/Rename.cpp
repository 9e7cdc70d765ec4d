// The renaming pass: entries get their new names on disk, top down, with every path kept
// current, read-only entries handled as the user decides, and each rename reported and logged.
#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/NameRules.h"

namespace ts {

bool CFileNode::RenameEntry(bool bLog, int* pAutoReadOnly) {
    CRunContext& ctx = Ctx();
    // The top directory is never renamed.
    if (!m_pParent) return false;
    // The parent was renamed earlier in this walk when it needed it: its path is current.
    const std::string oldFull = JoinPath(m_pParent->m_strPath, Name());
    // Current before anything uses it, so that a read-only question or a permission change
    // inside a renamed directory names the entry where it is now.
    MovePath(oldFull);
    if (m_strNewName.empty()) return false;
    if (!CheckReadOnly(pAutoReadOnly)) return false;
    const std::string newFull = JoinPath(m_pParent->m_strPath, m_strNewName);
    // Never replaces an entry: something that appeared under the new name since the scan
    // makes the rename fail instead of being lost.
    if (!ctx.fs.RenameNoReplace(oldFull, newFull)) {
        ctx.errorReport << FormatMessage(IDS_RENAME_FAILED, oldFull, newFull) << "\n";
        return false;
    }
    MovePath(newFull);
    ReportNewName();
    if (bLog) m_pParent->WriteLog(PadRight(m_strNewName, 36) + std::string(kIndent) + OrigPath());
    return true;
}

bool CFileNode::CheckReadOnly(int* pAutoReadOnly) {
    if (!(m_dwAttributes & FA_READONLY)) return true;
    CRunContext& ctx = Ctx();
    // Making the entry writable would change the file the link points to, which may lie
    // outside the directory of the run.
    if (m_bLink) {
        ctx.ErrorLine(m_strPath, LoadString(IDS_LINKED_FILE_SKIPPED));
        return false;
    }
    int decision = pAutoReadOnly ? *pAutoReadOnly : 0;
    if (decision == 0) {
        int answer = ctx.ui.ReadOnlyPrompt(FormatMessage(IDS_READ_ONLY_QUESTION, m_strPath));
        if (answer == READONLY_YES || answer == READONLY_YES_TO_ALL) decision = 2;
        if (answer == READONLY_NO || answer == READONLY_NO_TO_ALL) decision = 1;
        if (pAutoReadOnly && answer == READONLY_YES_TO_ALL) *pAutoReadOnly = 2;
        if (pAutoReadOnly && answer == READONLY_NO_TO_ALL) *pAutoReadOnly = 1;
    }
    bool result;
    int text;
    if (decision == 1) {
        text = IDS_READ_ONLY_SKIPPED;
        result = false;
    } else if (!ctx.fs.SetMode(m_strPath, m_nMode | 0200)) {
        text = IDS_READ_ONLY_FAILED;
        result = false;
    } else {
        m_nMode |= 0200;
        m_dwAttributes &= ~FA_READONLY;
        text = IDS_READ_ONLY_CONVERTED;
        result = true;
    }
    ctx.ErrorLine(m_strPath, LoadString(text));
    return result;
}

bool CFileNode::ReportNewName() {
    if (m_strNewName.empty()) return false;
    Ctx().statusReport << PadRight(m_strNewName, 36) << kIndent << OrigPath() << "\n";
    return true;
}

bool CFileNode::PrepareUndo() {
    if (m_strNewName.empty()) return false;
    // The entry does not carry its new name: the rename never happened (it failed, was
    // skipped, or the walk stopped first). Comparing whole paths would take an entry that
    // only moved with its renamed directory for a renamed one.
    if (Name() != m_strNewName) {
        SetNewName(*this, std::string());
        return false;
    }
    std::string original = BaseName(OrigPath());
    SetOrigPath(m_strPath);
    SetNewName(*this, original);
    return true;
}

}  // namespace ts
