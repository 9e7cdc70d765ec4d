#include "app/RunContext.h"

#include "platform/Text.h"

namespace ts {

void CRunContext::ErrorLine(const std::string& path, const std::string& text) {
    errorReport << ts::ErrorLine(path, text);
}

CFileNode* CRunContext::Lookup(const std::string& path) const {
    auto it = siteMap.find(ToUpper(path));
    return it == siteMap.end() ? nullptr : it->second;
}

}  // namespace ts
