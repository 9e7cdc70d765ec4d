// The directory node of a processing run: it keeps the directory's "RENAME.LOG" and makes the
// nodes of the files it finds with the factory of its run (HTML nodes for Web files).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "site/DirNode.h"
#include "site/LinkRepoint.h"
#include "site/RenameLog.h"

namespace ts {

// Makes the node of an examined entry that is not a directory. The HTML layer provides the one
// of a run (MakeWebFileNode), so the site layer needs to know nothing of HTML nodes.
using FileNodeFactory = std::unique_ptr<CFileNode> (*)(CRunContext* ctx, const CEntryInfo& info,
                                                       CDirNode* parent);

class CDirXpNode : public CDirNode {
public:
    // Without a factory every file becomes a plain node; subdirectories share the factory.
    CDirXpNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent,
               FileNodeFactory makeFile = nullptr);
    ~CDirXpNode() override;

    bool CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel) override;
    std::unique_ptr<CFileNode> CreateChild(const CEntryInfo& info) override;
    CRenameLog* RenameLog() override { return &m_log; }

    // Closes the log of every run directory of the subtree.
    void CloseAllLogs();

    // The symbolic links the run re-pointed, for undo (top directory only).
    std::vector<CRepointedLink> m_vRepointedLinks;

private:
    FileNodeFactory m_pMakeFile;
    CRenameLog m_log{*this};
    // The long-path warning of the current name-check pass was shown (top directory only).
    bool m_bLongPathWarned = false;
};

// Examines the directory a run was given and makes the top of its tree (not yet scanned).
std::unique_ptr<CDirXpNode> MakeRunTree(CRunContext& ctx, const std::string& path,
                                        FileNodeFactory makeFile);

}  // namespace ts
