// A directory of the site tree: its sorted entries, the counts of its subtree, the scan that
// builds it, and the pre-order walk every pass uses.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "site/FileNode.h"
#include "site/SiteMap.h"

namespace ts {

class CNameIndex;
class CRenameLog;
class CTreeWriter;
struct CExamined;

// A per-node operation of a walk: returns non-zero when it found, changed or reported
// something; it may set cancel to end the walk.
using NodeCallback = std::function<int(CFileNode& node, bool& cancel)>;

class CDirNode : public CFileNode {
public:
    CDirNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent);
    ~CDirNode() override;

    bool IsDirNode() const override { return true; }
    int MakeUnique(CFileNode* pExclude, std::string& strName, char chSep, int nMaxLen) override;

    // Reads the directory into the tree; the number of entries, or -1 when cancelled. With a
    // writer, every directory that keeps a log opens it through the writer once scanned.
    int Scan(bool bRecurse, CTreeWriter* pLogWriter, bool bReportSpecial);
    // True when the directory holds no entry.
    bool IsEmpty() const;
    // Applies cb to every node of the subtree in pre-order inside the progress protocol;
    // the number of nodes for which cb returned non-zero, or -1 when cancelled.
    int ForEach(const NodeCallback& cb, const std::string& caption);
    // The node factory of the scan.
    virtual std::unique_ptr<CFileNode> CreateChild(const CEntryInfo& info);
    // The directory's "RENAME.LOG"; only run directories keep one.
    virtual CRenameLog* RenameLog() { return nullptr; }

    // True once the directory has been scanned (its child list exists).
    bool Scanned() const { return m_bScanned; }
    const std::vector<std::unique_ptr<CFileNode>>& Children() const { return m_children; }
    // The site map of the tree; only the top directory holds one.
    CSiteMap& SiteMap() const { return m_pParent ? SiteMapOf(*this) : *m_pSiteMap; }

    int m_nEntries = 0;
    int m_nDirs = 0;
    // The entries' names for MakeUnique, built on first use (site/NameIndex.h).
    std::shared_ptr<CNameIndex> m_pNameIndex;
    // Names of the entries the scan left out (hidden, special, too long): they are still in
    // the directory, so no new name may take one.
    std::vector<std::string> m_vOtherNames;

private:
    int ScanEntries(bool bRecurse, CTreeWriter* pLogWriter, bool bReportSpecial);
    std::unique_ptr<CFileNode> AdmitChild(const std::string& name, CExamined& examined,
                                          bool bReportSpecial);
    // False for an entry the scan leaves out unread (a name too long, a file of the program's).
    bool IsExamined(const std::string& name, const std::string& path) const;
    void InsertSorted(std::vector<std::unique_ptr<CFileNode>>& found);

    std::vector<std::unique_ptr<CFileNode>> m_children;
    bool m_bScanned = false;
    std::unique_ptr<CSiteMap> m_pSiteMap;
};

// The pre-order traversal: the starting node, then each child in list order, a directory
// followed at once by its own subtree.
class CTreeIterator {
public:
    explicit CTreeIterator(CFileNode* start);
    // The next node, or null at the end.
    CFileNode* Next();

private:
    struct Frame {
        CDirNode* dir;
        size_t index;
    };
    CFileNode* m_pStart;
    bool m_bStarted = false;
    std::vector<Frame> m_stack;
};

}  // namespace ts
