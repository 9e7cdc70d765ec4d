#include "site/FileNode.h"

#include "base/RunContext.h"
#include "base/RunSettings.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

CFileNode::CFileNode(CRunContext* ctx, const std::string& path, CDirNode* parent)
    : m_pCtx(ctx), m_pParent(parent) {
    SetPath(path);
    CFileNode::Classify();
}

CFileNode::~CFileNode() = default;

bool CFileNode::SetPath(const std::string& path) {
    if (path.empty()) return m_bExists;
    m_strPath = path;
    m_strOrigPath.clear();
    FileStat st;
    if (!m_pCtx || !m_pCtx->fs.Stat(path, st)) {
        m_dwAttributes = FA_MISSING;
        m_bExists = false;
        return false;
    }
    m_bExists = true;
    m_bLink = st.isLink;
    m_nMode = st.mode;
    m_dwAttributes = 0;
    if (st.readOnly) m_dwAttributes |= FA_READONLY;
    std::string_view name = NameView();
    if (!name.empty() && name[0] == '.') m_dwAttributes |= FA_HIDDEN;
    // The directory a run was given is taken as it was named, even through a link; below it
    // a linked directory is never followed.
    bool topLinkToDir = st.linkToDir && !m_pParent;
    if (st.kind == EntryKind::Directory || topLinkToDir) {
        m_dwAttributes |= FA_DIRECTORY;
    } else if (st.kind == EntryKind::Special) {
        m_dwAttributes |= FA_SYSTEM;
    }
    return true;
}

bool CFileNode::GetSpecialWords(std::string& out) const {
    out.clear();
    if (m_dwAttributes == FA_MISSING) return false;
    if (m_dwAttributes & FA_SYSTEM)
        out = "system";
    else if (m_dwAttributes & FA_TEMPORARY)
        out = "temporary";
    else if (m_dwAttributes & FA_HIDDEN)
        out = "hidden";
    return !out.empty();
}

void CFileNode::SetOrigPath(const std::string& path) {
    if (path == m_strPath)
        m_strOrigPath.clear();
    else
        m_strOrigPath = path;
}

void CFileNode::MovePath(const std::string& path) {
    if (path == m_strPath) return;
    if (m_strOrigPath.empty()) m_strOrigPath = m_strPath;
    m_strPath = path;
    if (m_strOrigPath == m_strPath) m_strOrigPath.clear();
}

std::string CFileNode::Name() const {
    return std::string(NameView());
}

std::string_view CFileNode::NameView() const {
    std::string_view path(m_strPath);
    size_t slash = path.rfind(kPathSep);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

void CFileNode::Classify() {
    // An HTML node runs this again after its base part did: a file that could not be opened
    // or read must not be tried, and reported, a second time.
    if (!m_bExists || m_nType != FT_UNKNOWN || m_bExamined) return;
    m_bExamined = true;
    if (m_dwAttributes & FA_DIRECTORY) {
        m_nType = FT_DIRECTORY;
        return;
    }
    // Special entries are never opened: a FIFO would block, a device could be anything.
    if (m_dwAttributes & FA_SYSTEM) return;
    auto file = m_pCtx->fs.OpenRead(m_strPath);
    if (!file) {
        m_pCtx->ErrorLine(m_strPath, LoadString(IDS_OPEN_FAILED));
        return;
    }
    long long length = file->Length();
    if (length < 1) return;
    unsigned char block[512];
    long long n = file->Read(block, sizeof block);
    if (n < 0) {
        m_pCtx->ErrorLine(m_strPath, LoadString(IDS_READ_FAILED));
        return;
    }
    file.reset();
    bool high = false;
    for (long long i = 0; i < n && !high; ++i)
        high = block[i] >= 0x80;
    // Bytes of 128 and more make a file binary unless they are UTF-8: today's pages are.
    if (high && !IsUtf8Text(block, static_cast<size_t>(n))) {
        m_nType = FT_BINARY;
        return;
    }
    m_nType = FT_TEXT;
    m_nLineEnd = LE_DOS;
    for (long long i = 0; i < n; ++i) {
        if (block[i] == '\n') {
            m_nLineEnd = LE_UNIX;
            break;
        }
        if (block[i] == '\r') {
            m_nLineEnd = (i + 1 < n && block[i + 1] == '\n') ? LE_DOS : LE_MAC;
            break;
        }
    }
    m_nOrigLineEnd = m_nLineEnd;
}

bool CFileNode::ReportIfUnused() {
    if (m_bMarked || m_nType == FT_DIRECTORY) return false;
    m_pCtx->statusReport << m_strPath << "\n";
    return true;
}

}  // namespace ts
