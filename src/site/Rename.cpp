#include "site/Rename.h"

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/NameRules.h"
#include "site/RenameLog.h"
#include "site/TreeWriter.h"

namespace ts {

bool RenameEntry(CTreeWriter& writer, CFileNode& node, bool bLog, int* pAutoReadOnly) {
    // The top directory is never renamed.
    if (!node.m_pParent) return false;
    // The parent was renamed earlier in this walk when it needed it: its path is current.
    // Current before anything uses it, so that a read-only question or a permission change
    // inside a renamed directory names the entry where it is now.
    node.MovePath(JoinPath(node.m_pParent->m_strPath, node.Name()));
    if (node.m_strNewName.empty()) return false;
    if (!CheckReadOnly(writer, node, pAutoReadOnly)) return false;
    // Never replaces an entry: something that appeared under the new name since the scan
    // makes the rename fail instead of being lost.
    if (!writer.Rename(node, node.m_strNewName)) return false;
    ReportNewName(node);
    CRenameLog* log = node.m_pParent->RenameLog();
    if (bLog && log)
        log->Write(PadRight(node.m_strNewName, 36) + std::string(kIndent) + node.OrigPath());
    return true;
}

namespace {

// The decision for one entry: 1 skip, 2 make writable; asks when there is no standing answer.
int ReadOnlyDecision(CRunContext& ctx, const CFileNode& node, int* pAutoReadOnly) {
    int decision = pAutoReadOnly ? *pAutoReadOnly : 0;
    if (decision != 0) return decision;
    int answer = ctx.ui.ReadOnlyPrompt(FormatMessage(IDS_READ_ONLY_QUESTION, node.m_strPath));
    if (answer == READONLY_YES || answer == READONLY_YES_TO_ALL) decision = 2;
    if (answer == READONLY_NO || answer == READONLY_NO_TO_ALL) decision = 1;
    if (pAutoReadOnly && answer == READONLY_YES_TO_ALL) *pAutoReadOnly = 2;
    if (pAutoReadOnly && answer == READONLY_NO_TO_ALL) *pAutoReadOnly = 1;
    return decision;
}

}  // namespace

bool CheckReadOnly(CTreeWriter& writer, CFileNode& node, int* pAutoReadOnly) {
    if (!(node.m_dwAttributes & FA_READONLY)) return true;
    CRunContext& ctx = writer.Ctx();
    // Making the entry writable would change the file the link points to, which may lie
    // outside the directory of the run.
    if (node.m_bLink) {
        ctx.ErrorLine(node.m_strPath, LoadString(IDS_LINKED_FILE_SKIPPED));
        return false;
    }
    int decision = ReadOnlyDecision(ctx, node, pAutoReadOnly);
    bool result = false;
    int text = IDS_READ_ONLY_SKIPPED;
    if (decision != 1) {
        result = writer.MakeWritable(node);
        text = result ? IDS_READ_ONLY_CONVERTED : IDS_READ_ONLY_FAILED;
    }
    ctx.ErrorLine(node.m_strPath, LoadString(text));
    return result;
}

bool ReportNewName(CFileNode& node) {
    if (node.m_strNewName.empty()) return false;
    node.Ctx().statusReport << PadRight(node.m_strNewName, 36) << kIndent << node.OrigPath()
                            << "\n";
    return true;
}

bool PrepareUndo(CFileNode& node) {
    if (node.m_strNewName.empty()) return false;
    // The entry does not carry its new name: the rename never happened (it failed, was
    // skipped, or the walk stopped first). Comparing whole paths would take an entry that
    // only moved with its renamed directory for a renamed one.
    if (node.Name() != node.m_strNewName) {
        SetNewName(node, std::string());
        return false;
    }
    std::string original = BaseName(node.OrigPath());
    node.SetOrigPath(node.m_strPath);
    SetNewName(node, original);
    return true;
}

}  // namespace ts
