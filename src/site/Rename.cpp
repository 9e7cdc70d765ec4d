#include "site/Rename.h"

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/DirNode.h"
#include "site/NameRules.h"
#include "site/RenameLog.h"
#include "site/TreeWriter.h"

namespace ts {

bool RenameEntry(CTreeWriter& writer, CFileNode& node, bool bLog, ReadOnlyChoice& readOnly) {
    // The top directory is never renamed.
    if (!node.m_pParent) return false;
    // The parent was renamed earlier in this walk when it needed it: its path is current.
    // Current before anything uses it, so that a read-only question or a permission change
    // inside a renamed directory names the entry where it is now.
    node.MovePath(JoinPath(node.m_pParent->m_strPath, node.Name()));
    if (node.m_strNewName.empty()) return false;
    if (!CheckReadOnly(writer, node, readOnly)) return false;
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

// The decision for one entry; asks when there is no standing answer. A prompt closed without
// an answer gives RO_ASK, which is not a refusal: the entry is made writable.
ReadOnlyChoice ReadOnlyDecision(CRunContext& ctx, const CFileNode& node, ReadOnlyChoice& readOnly) {
    if (readOnly != RO_ASK) return readOnly;
    int answer =
        ctx.ui.ReadOnlyPrompt(FormatMessage(IDS_READ_ONLY_QUESTION, ShownName(node.m_strPath)));
    if (answer == READONLY_YES_TO_ALL) readOnly = RO_CONVERT;
    if (answer == READONLY_NO_TO_ALL) readOnly = RO_SKIP;
    if (answer == READONLY_YES || answer == READONLY_YES_TO_ALL) return RO_CONVERT;
    if (answer == READONLY_NO || answer == READONLY_NO_TO_ALL) return RO_SKIP;
    return RO_ASK;
}

}  // namespace

bool CheckReadOnly(CTreeWriter& writer, CFileNode& node, ReadOnlyChoice& readOnly) {
    if (!(node.m_dwAttributes & FA_READONLY)) return true;
    CRunContext& ctx = writer.Ctx();
    // Making the entry writable would change the file the link points to, which may lie
    // outside the directory of the run.
    if (node.m_bLink) {
        ctx.ErrorLine(node.m_strPath, LoadString(IDS_LINKED_FILE_SKIPPED));
        return false;
    }
    ReadOnlyChoice decision = ReadOnlyDecision(ctx, node, readOnly);
    bool result = false;
    int text = IDS_READ_ONLY_SKIPPED;
    if (decision != RO_SKIP) {
        result = writer.MakeWritable(node);
        text = result ? IDS_READ_ONLY_CONVERTED : IDS_READ_ONLY_FAILED;
    }
    ctx.ErrorLine(node.m_strPath, LoadString(text));
    return result;
}

bool ReportNewName(CFileNode& node) {
    if (node.m_strNewName.empty()) return false;
    node.Ctx().statusReport << PadRight(ShownName(node.m_strNewName), 36) << kIndent
                            << ShownName(node.OrigPath()) << "\n";
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
