#include "html/IndexPage.h"

#include <cstdint>

#include "platform/Path.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

// One pass over the entries: the best is the earliest index name, a name as scanned before a
// name given since.
CFileNode* IndexPageOf(const CDirNode& dir, const CLinkOptions& links) {
    CFileNode* best = nullptr;
    size_t bestRank = SIZE_MAX;
    const size_t n = links.indexFiles.size();
    for (const auto& child : dir.Children()) {
        if (child->IsDirNode()) continue;
        std::string_view scanned = BaseNameView(child->OrigPath());
        std::string_view now = child->NameView();
        for (size_t i = 0; i < n && i < bestRank; ++i) {
            size_t rank = EqualsNoCase(scanned, links.indexFiles[i])
                              ? i
                              : (EqualsNoCase(now, links.indexFiles[i]) ? n + i : SIZE_MAX);
            if (rank < bestRank) {
                bestRank = rank;
                best = child.get();
            }
        }
    }
    return best;
}

CFileNode* FollowedEntry(const CHtmlNode::CTag& tag, const CLinkOptions& links) {
    CFileNode* target = tag.m_pTarget;
    if (!target || !target->IsDirNode()) return target;
    if (tag.m_nKind != LK_LOCAL) return nullptr;
    return IndexPageOf(static_cast<const CDirNode&>(*target), links);
}

CFileNode* CFollowedEntries::Of(const CHtmlNode::CTag& tag) {
    CFileNode* target = tag.m_pTarget;
    if (!target || !target->IsDirNode() || tag.m_nKind != LK_LOCAL)
        return FollowedEntry(tag, m_links);
    auto [it, added] = m_indexPages.try_emplace(target, nullptr);
    if (added) it->second = FollowedEntry(tag, m_links);
    return it->second;
}

}  // namespace ts
