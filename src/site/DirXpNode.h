// The directory node of a processing run: it keeps the directory's "RENAME.LOG" and makes
// HTML nodes for the Web files it finds.
#pragma once

#include <memory>
#include <string>

#include "site/DirNode.h"

namespace ts {

class CDirXpNode : public CDirNode {
public:
    CDirXpNode(CRunContext* ctx, const std::string& path, CDirNode* parent);
    CDirXpNode(CFileNode&& base);
    ~CDirXpNode() override;

    bool CheckName(int nTarget, bool* pAutoFileName, int nRenameHtml, bool* pCancel) override;
    void OpenLog() override;
    void CloseLog() override;
    void WriteLog(const std::string& strLine) override;
    std::unique_ptr<CFileNode> CreateChild(const std::string& path) override;

    // Closes the log of every run directory of the subtree.
    void CloseAllLogs();

    std::unique_ptr<CFile> m_pLog;
    std::string m_strLogPath;
    // The log object exists (a failed open leaves it existing but closed).
    bool m_bHasLog = false;
    // Bytes written to the log, to remove a log that stayed empty.
    uint64_t m_nLogBytes = 0;
};

}  // namespace ts
