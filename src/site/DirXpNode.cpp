#include "site/DirXpNode.h"

#include "base/RunContext.h"
#include "site/Examine.h"

namespace ts {

CDirXpNode::CDirXpNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent,
                       FileNodeFactory makeFile)
    : CDirNode(ctx, info, parent), m_pMakeFile(makeFile) {}

CDirXpNode::~CDirXpNode() {
    m_log.Close();
}

std::unique_ptr<CFileNode> CDirXpNode::CreateChild(const CEntryInfo& info) {
    if (info.nType == FT_DIRECTORY)
        return std::make_unique<CDirXpNode>(m_pCtx, info, this, m_pMakeFile);
    if (m_pMakeFile) return m_pMakeFile(m_pCtx, info, this);
    return std::make_unique<CFileNode>(m_pCtx, info, this);
}

void CDirXpNode::CloseAllLogs() {
    CTreeIterator it(this);
    while (CFileNode* node = it.Next()) {
        if (!node->IsDirNode()) continue;
        if (CRenameLog* log = static_cast<CDirNode*>(node)->RenameLog()) log->Close();
    }
}

std::unique_ptr<CDirXpNode> MakeRunTree(CRunContext& ctx, const std::string& path,
                                        FileNodeFactory makeFile) {
    return std::make_unique<CDirXpNode>(&ctx, Examine(&ctx, path, true), nullptr, makeFile);
}

}  // namespace ts
