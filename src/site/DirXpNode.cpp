#include "site/DirXpNode.h"

#include "base/RunContext.h"
#include "html/HtmlNode.h"
#include "site/Examine.h"

namespace ts {

CDirXpNode::CDirXpNode(CRunContext* ctx, const CEntryInfo& info, CDirNode* parent)
    : CDirNode(ctx, info, parent) {}

CDirXpNode::~CDirXpNode() {
    m_log.Close();
}

// Web files of their kind become HTML nodes, directories run directories, everything else
// plain nodes.
std::unique_ptr<CFileNode> CDirXpNode::CreateChild(const CEntryInfo& info) {
    if (info.nType == FT_DIRECTORY) return std::make_unique<CDirXpNode>(m_pCtx, info, this);
    std::string name = BaseName(info.strPath);
    // Only a name with a Web extension can give an HTML node.
    if (IsWebExtension(ExtensionOf(name))) {
        FileType type = WebFileType(info.nType, name);
        if (type == FT_HTML || (type <= FT_PNG && type >= FT_JPEG))
            return std::make_unique<CHtmlNode>(m_pCtx, info, this);
    }
    return std::make_unique<CFileNode>(m_pCtx, info, this);
}

void CDirXpNode::CloseAllLogs() {
    CTreeIterator it(this);
    while (CFileNode* node = it.Next()) {
        if (!node->IsDirNode()) continue;
        if (CRenameLog* log = static_cast<CDirNode*>(node)->RenameLog()) log->Close();
    }
}

std::unique_ptr<CDirXpNode> MakeRunTree(CRunContext& ctx, const std::string& path) {
    return std::make_unique<CDirXpNode>(&ctx, Examine(&ctx, path, true), nullptr);
}

}  // namespace ts
