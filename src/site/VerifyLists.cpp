#include "site/VerifyLists.h"

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "site/DirXpNode.h"
#include "site/NameRules.h"
#include "site/Rename.h"

namespace ts {

std::vector<VerifyNameRow> VerifyFilenameRows(CDirXpNode& top) {
    std::vector<VerifyNameRow> rows;
    // The root "/" ends in the separator that every relative directory starts with.
    size_t topLen = top.m_strPath.size();
    if (topLen > 0 && top.m_strPath.back() == kPathSep) --topLen;
    const CFileNode* current = top.m_pParent;
    std::string relDir, indent;
    CTreeIterator it(&top);
    while (CFileNode* node = it.Next()) {
        if (node->m_pParent != current) {
            current = node->m_pParent;
            relDir = current->m_strPath;
            if (relDir.empty() || relDir.back() != kPathSep) relDir += kPathSep;
            relDir.erase(0, std::min(topLen, relDir.size()));
            indent.clear();
            for (const CFileNode* dir = current; dir && dir != &top; dir = dir->m_pParent)
                indent += "   ";
        }
        if (node->m_strNewName.empty()) continue;
        VerifyNameRow row;
        row.pNode = node;
        row.strIndent = indent;
        row.strOriginal = relDir + node->Name();
        RefreshSuggested(row);
        rows.push_back(std::move(row));
    }
    return rows;
}

void RefreshSuggested(VerifyNameRow& row) {
    row.strSuggested = row.strIndent + row.pNode->m_strNewName;
}

void VerifyFilenamesOk(CRunContext& ctx, const std::vector<VerifyNameRow>& rows,
                       const std::vector<bool>& checked) {
    for (size_t i = 0; i < rows.size(); ++i) {
        CFileNode* node = rows[i].pNode;
        bool isChecked = i < checked.size() && checked[i];
        if (isChecked || node->m_strNewName.empty()) continue;
        WriteNotRenamedHeading(ctx);
        ReportNewName(*node);
        SetNewName(*node, std::string());
    }
    if (ctx.bNotRenamedHeadingWritten) ctx.statusReport << kSectionGap;
}

CVerifyNameList::CVerifyNameList(CDirXpNode& top, int nTarget)
    : m_strDirectory(top.m_strPath), m_nTarget(nTarget), m_rows(VerifyFilenameRows(top)) {}

CRenamePrompt CVerifyNameList::EditPrompt(size_t row) const {
    return CRenamePrompt(m_rows.at(row).pNode, m_nTarget, false);
}

const VerifyNameRow& CVerifyNameList::Refresh(size_t row) {
    RefreshSuggested(m_rows.at(row));
    return m_rows[row];
}

bool VerifyFilenames(CRunContext& ctx, CRunUi& ui, CDirXpNode& top, int nTarget) {
    CVerifyNameList list(top, nTarget);
    VerifyChoices choices = ui.VerifyFilenames(list);
    if (!choices.bOk) return false;
    choices.checked.resize(list.Rows().size(), true);
    VerifyFilenamesOk(ctx, list.Rows(), choices.checked);
    return true;
}

}  // namespace ts
