#include "html/LinkedPage.h"

#include "base/RunContext.h"
#include "base/Strings.h"
#include "html/HtmlNode.h"
#include "platform/Path.h"
#include "site/DirNode.h"

namespace ts {

void ClaimLinkedContent(CHtmlNode& page) {
    page.m_pLinkedContent = nullptr;
    if (!page.m_bLink || !page.m_pParent) return;
    std::string text;
    if (!page.Ctx().fs.ReadLink(page.m_strPath, text)) return;
    if (text.starts_with("./")) text.erase(0, 2);
    // Only a file beside the link: elsewhere its relative links would mean other files.
    if (text.empty() || text.find(kPathSep) != std::string::npos || text == "." || text == "..")
        return;
    // Pages are read after the renames: the link's text names its file as it is called now.
    CFileNode* target = nullptr;
    for (const auto& child : page.m_pParent->Children())
        if (child.get() != &page && child->Name() == text) target = child.get();
    if (!target || target->m_bLink || target->m_nType == FT_DIRECTORY) return;
    // A page that is parsed itself is rewritten as itself.
    if (target->IsHtmlNode() && static_cast<CHtmlNode*>(target)->HasLinks()) return;
    if (target->m_pReadVia && target->m_pReadVia != &page) return;
    target->m_pReadVia = &page;
    page.m_pLinkedContent = target;
}

CFileNode* LinkedContentOf(const CHtmlNode& page) {
    CFileNode* target = page.m_pLinkedContent;
    return target && target->m_pReadVia == &page ? target : nullptr;
}

CFileNode* ContentToRewrite(CTreeWriter& writer, CHtmlNode& page, ReadOnlyChoice& readOnly) {
    CFileNode* content = page.m_bLink ? LinkedContentOf(page) : &page;
    if (!content) {
        page.Ctx().ErrorLine(page.m_strPath, LoadString(IDS_LINKED_FILE_SKIPPED));
        return nullptr;
    }
    return CheckReadOnly(writer, *content, readOnly) ? content : nullptr;
}

}  // namespace ts
