#include "site/FileNode.h"

#include "base/RunContext.h"
#include "site/DirNode.h"

namespace ts {

CFileNode::CFileNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent)
    : m_pCtx(ctx),
      m_pParent(parent),
      m_strPath(info.strPath),
      m_nType(info.nType),
      m_nLineEnd(info.nLineEnd),
      m_nOrigLineEnd(info.nLineEnd),
      m_dwAttributes(info.dwAttributes),
      m_bExists(info.bExists),
      m_bLink(info.bLink),
      m_bEightBit(info.bEightBit),
      m_nMode(info.nMode),
      m_id(info.id) {}

CFileNode::~CFileNode() = default;

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
    return BaseNameView(m_strPath);
}

}  // namespace ts
