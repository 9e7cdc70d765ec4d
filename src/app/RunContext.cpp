#include "app/RunContext.h"

#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

void CRunContext::ErrorLine(const std::string& path, const std::string& text) {
    errorReport << ts::ErrorLine(path, text);
}

const std::unordered_map<std::string, CFileNode*>& CRunContext::SiteMap() {
    if (m_bSiteMapMade || !pSiteMapOwner) return m_siteMap;
    m_siteMap.clear();
    CTreeIterator it(pSiteMapOwner);
    it.Next();  // the top directory is not in the map
    // Among names equal but for case, the tree lists the one the scan found later first, and
    // that one answers for all of them.
    while (CFileNode* node = it.Next())
        m_siteMap.try_emplace(ToUpper(node->OrigPath()), node);
    m_bSiteMapMade = true;
    return m_siteMap;
}

CFileNode* CRunContext::Lookup(const std::string& path) {
    const auto& map = SiteMap();
    auto it = map.find(ToUpper(path));
    return it == map.end() ? nullptr : it->second;
}

void CRunContext::ForgetSiteMap() {
    m_siteMap.clear();
    m_bSiteMapMade = false;
}

}  // namespace ts
