// The directory node of a processing run: it keeps the directory's "RENAME.LOG" and makes
// HTML nodes for the Web files it finds.
#pragma once

#include <memory>
#include <string>

#include "site/DirNode.h"
#include "site/RenameLog.h"

namespace ts {

class CDirXpNode : public CDirNode {
public:
    CDirXpNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent);
    ~CDirXpNode() override;

    bool CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel) override;
    std::unique_ptr<CFileNode> CreateChild(const CEntryInfo& info) override;
    CRenameLog* RenameLog() override { return &m_log; }

    // Closes the log of every run directory of the subtree.
    void CloseAllLogs();

private:
    CRenameLog m_log{*this};
    // The long-path warning of the current name-check pass was shown (top directory only).
    bool m_bLongPathWarned = false;
};

// Examines the directory a run was given and makes the top of its tree (not yet scanned).
std::unique_ptr<CDirXpNode> MakeRunTree(CRunContext& ctx, const std::string& path);

}  // namespace ts
