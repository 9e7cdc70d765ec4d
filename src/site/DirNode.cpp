#include "site/DirNode.h"

#include <algorithm>
#include <numeric>

#include "base/RunContext.h"
#include "base/RunUi.h"
#include "base/Strings.h"
#include "platform/ShownText.h"
#include "platform/Text.h"
#include "site/Examine.h"
#include "site/ExamineEntries.h"
#include "site/OwnFiles.h"
#include "site/RenameLog.h"

namespace ts {

CDirNode::CDirNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent)
    : CFileNode(ctx, info, parent) {
    if (!m_pParent) m_pSiteMap = std::make_unique<CSiteMap>(*this);
}

CDirNode::~CDirNode() {
    m_children.clear();
}

bool CDirNode::IsEmpty() const {
    std::vector<std::string> names;
    return !m_pCtx->fs.ListDir(m_strPath, names) || names.empty();
}

std::unique_ptr<CFileNode> CDirNode::CreateChild(const CEntryInfo& info) {
    if (info.nType == FT_DIRECTORY) return std::make_unique<CDirNode>(m_pCtx, info, this);
    return std::make_unique<CFileNode>(m_pCtx, info, this);
}

int CDirNode::Scan(bool bRecurse, CTreeWriter* pLogWriter, bool bReportSpecial) {
    CRunContext& ctx = Ctx();
    if (!m_bExists) {
        // The directory of the run cannot be examined: say so, not only that the site is empty.
        ctx.ErrorLine(m_strPath, LoadString(IDS_OPEN_FAILED));
        return 0;
    }
    // Ends the file system's scan however the scan ends, an exception included.
    struct ScanScope {
        CFileSystem& fs;
        ~ScanScope() { fs.EndScan(); }
    } scope{ctx.fs};
    ctx.fs.BeginScan();
    ctx.progress.Begin(LoadString(IDS_SCANNING_FILES), 0);
    int r = ScanEntries(bRecurse, pLogWriter, bReportSpecial);
    ctx.progress.End();
    return r;
}

int CDirNode::ScanEntries(bool bRecurse, CTreeWriter* pLogWriter, bool bReportSpecial) {
    CRunContext& ctx = Ctx();
    m_bScanned = true;
    m_vOtherNames.clear();
    SiteMap().Forget();
    bool cancel = ctx.progress.SetDirectory(m_strPath);

    std::vector<std::string> names;
    if (!ctx.fs.ListDir(m_strPath, names))
        ctx.ErrorLine(m_strPath, FailureText(IDS_OPEN_FAILED, errno));

    // Every entry's attributes and first block first, on several threads where they pay.
    std::vector<std::string> paths(names.size());
    for (size_t i = 0; i < names.size(); ++i)
        if (std::string path = JoinPath(m_strPath, names[i]); IsExamined(names[i], path))
            paths[i] = std::move(path);
    std::vector<CExamined> examined = ExamineEntries(ctx, paths);

    std::vector<std::unique_ptr<CFileNode>> found;
    found.reserve(names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        if (cancel) break;
        std::unique_ptr<CFileNode> child = AdmitChild(names[i], examined[i], bReportSpecial);
        if (!child) continue;
        ctx.progress.SetFile(child->m_strPath);
        if (child->IsDirNode() && bRecurse) {
            auto* dir = static_cast<CDirNode*>(child.get());
            if (dir->ScanEntries(bRecurse, pLogWriter, bReportSpecial) < 0) cancel = true;
            m_nEntries += dir->m_nEntries;
            m_nDirs += dir->m_nDirs;
            if (ctx.progress.SetDirectory(m_strPath)) cancel = true;
        }
        ++m_nEntries;
        if (child->m_nType == FT_DIRECTORY) ++m_nDirs;
        found.push_back(std::move(child));
    }
    InsertSorted(found);
    if (CRenameLog* log = RenameLog(); log && pLogWriter) log->Open(*pLogWriter);
    return cancel ? -1 : m_nEntries;
}

// The node of a listed entry, or null for one the scan leaves out: a name too long, an entry
// that cannot be examined, a file of the program's own, a hidden or special entry.
bool CDirNode::IsExamined(const std::string& name, const std::string& path) const {
    const std::vector<std::string>& own = Ctx().ownPaths;
    return path.size() < kMaxPath && !IsOwnFileName(name, !m_pParent) &&
           std::find(own.begin(), own.end(), path) == own.end();
}

std::unique_ptr<CFileNode> CDirNode::AdmitChild(const std::string& name, CExamined& examined,
                                                bool bReportSpecial) {
    CRunContext& ctx = Ctx();
    std::string path = JoinPath(m_strPath, name);
    if (path.size() >= kMaxPath) {
        ctx.errorReport << FormatMessage(IDS_NAME_TOO_LONG, ShownName(path)) << "\n";
        m_vOtherNames.push_back(name);
        return nullptr;
    }
    // The program's own files are left out quietly and unread (the external-URL page is no
    // page of the site), but their names stay taken.
    if (IsOwnFileName(name, !m_pParent)) {
        m_vOtherNames.push_back(name);
        return nullptr;
    }
    ctx.errorReport.WriteRaw(examined.errors);
    std::unique_ptr<CFileNode> child = CreateChild(examined.info);
    // An entry just listed whose attributes cannot be read is unknown, so nothing may be
    // done to it: it is reported and left out, like an entry that vanished meanwhile.
    if (!child->m_bExists) {
        ctx.ErrorLine(path, LoadString(IDS_OPEN_FAILED));
        return nullptr;
    }
    child->m_bExcluded =
        m_bExcluded || ctx.exclusions.Matches(path, examined.info.nType == FT_DIRECTORY);
    std::string word;
    if (child->GetSpecialWords(word)) {
        if (bReportSpecial)
            ctx.ui.MessageBox(FormatMessage(IDS_SPECIAL_SKIPPED_BOX, ShownName(path), word));
        ctx.NoteLine(path, FormatMessage(IDS_SPECIAL_SKIPPED, word));
        m_vOtherNames.push_back(name);
        return nullptr;
    }
    return child;
}

// Entries are kept sorted by name ignoring case. Each new entry goes after the last entry
// whose name is smaller, so among names equal but for case the one found later comes first:
// a stable sort of the entries in reverse order of discovery gives the same list.
void CDirNode::InsertSorted(std::vector<std::unique_ptr<CFileNode>>& found) {
    std::reverse(found.begin(), found.end());
    std::vector<std::string> keys;
    keys.reserve(found.size());
    for (const auto& n : found)
        keys.push_back(FoldCase(n->NameView()));
    std::vector<size_t> order(found.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
    m_children.clear();
    m_children.reserve(found.size());
    for (size_t i : order)
        m_children.push_back(std::move(found[i]));
}

int CDirNode::ForEach(const NodeCallback& cb, const std::string& caption) {
    CRunContext& ctx = Ctx();
    ctx.progress.Begin(caption, m_nEntries + 1);
    bool cancel = ctx.progress.SetDirectory(m_strPath);
    int count = 0;
    CTreeIterator it(this);
    while (!cancel) {
        CFileNode* node = it.Next();
        if (!node) break;
        if (node->m_pParent) cancel = ctx.progress.SetDirectory(node->m_pParent->m_strPath);
        ctx.progress.SetFile(node->m_strPath);
        if (cb(*node, cancel)) ++count;
    }
    ctx.progress.End();
    return cancel ? -1 : count;
}

CTreeIterator::CTreeIterator(CFileNode* start) : m_pStart(start) {}

CFileNode* CTreeIterator::Next() {
    if (!m_bStarted) {
        m_bStarted = true;
        if (m_pStart && m_pStart->IsDirNode())
            m_stack.push_back({static_cast<CDirNode*>(m_pStart), 0});
        return m_pStart;
    }
    while (!m_stack.empty()) {
        Frame& top = m_stack.back();
        const auto& children = top.dir->Children();
        if (top.index >= children.size()) {
            m_stack.pop_back();
            continue;
        }
        CFileNode* node = children[top.index++].get();
        if (node->IsDirNode()) m_stack.push_back({static_cast<CDirNode*>(node), 0});
        return node;
    }
    return nullptr;
}

}  // namespace ts
