#include "html/IndexPage.h"

#include "platform/Path.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

CFileNode* IndexPageOf(const CDirNode& dir, const CLinkOptions& links) {
    for (bool scanned : {true, false}) {
        for (const std::string& index : links.indexFiles) {
            for (const auto& child : dir.Children()) {
                if (child->IsDirNode()) continue;
                std::string_view name =
                    scanned ? BaseNameView(child->OrigPath()) : child->NameView();
                if (EqualsNoCase(name, index)) return child.get();
            }
        }
    }
    return nullptr;
}

CFileNode* FollowedEntry(const CHtmlNode::CTag& tag, const CLinkOptions& links) {
    CFileNode* target = tag.m_pTarget;
    if (!target || !target->IsDirNode()) return target;
    if (tag.m_nKind != LK_LOCAL) return nullptr;
    return IndexPageOf(static_cast<const CDirNode&>(*target), links);
}

}  // namespace ts
