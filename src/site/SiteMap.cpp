#include "site/SiteMap.h"

#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

const std::unordered_map<std::string, CFileNode*>& CSiteMap::Map() {
    if (m_bMade) return m_map;
    m_map.clear();
    CTreeIterator it(const_cast<CDirNode*>(&m_top));
    it.Next();  // the top directory is not in the map
    // Among names equal but for case, the tree lists the one the scan found later first, and
    // that one answers for all of them.
    while (CFileNode* node = it.Next())
        m_map.try_emplace(ToUpper(node->OrigPath()), node);
    m_bMade = true;
    return m_map;
}

CFileNode* CSiteMap::Lookup(const std::string& path) {
    const auto& map = Map();
    auto it = map.find(ToUpper(path));
    return it == map.end() ? nullptr : it->second;
}

void CSiteMap::Forget() {
    m_map.clear();
    m_bMade = false;
}

CSiteMap& SiteMapOf(const CFileNode& node) {
    const CFileNode* top = &node;
    while (top->m_pParent)
        top = top->m_pParent;
    return static_cast<const CDirNode*>(top)->SiteMap();
}

}  // namespace ts
