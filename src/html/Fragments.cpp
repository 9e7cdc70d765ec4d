#include "html/Fragments.h"

#include <algorithm>

#include "base/Findings.h"
#include "base/RunContext.h"
#include "html/HtmlNode.h"
#include "html/IndexPage.h"
#include "html/Url.h"
#include "platform/ShownText.h"
#include "platform/Text.h"

namespace ts {
namespace {

bool Has(const std::vector<std::string>& anchors, const std::string& name) {
    return std::binary_search(anchors.begin(), anchors.end(), name);
}

// The page a fragment link leads to, when it is one whose anchors are known.
const CHtmlNode* TargetPage(const CHtmlNode& page, const CHtmlNode::CFragmentLink& link) {
    const CFileNode* target = &page;
    if (link.tag >= 0) {
        if (!page.m_pTags || static_cast<size_t>(link.tag) >= page.m_pTags->size()) return nullptr;
        const CHtmlNode::CTag& tag = (*page.m_pTags)[static_cast<size_t>(link.tag)];
        if (tag.m_nKind != LK_LOCAL) return nullptr;
        target = FollowedEntry(tag, page.Ctx().links);
    }
    if (!target || !target->IsHtmlNode()) return nullptr;
    const auto* html = static_cast<const CHtmlNode*>(target);
    return html->m_nType == FT_HTML && html->m_pAnchors ? html : nullptr;
}

Finding Unresolved(const CHtmlNode& page, const CHtmlNode& target,
                   const CHtmlNode::CFragmentLink& link) {
    Finding f;
    f.kind = FindingKind::BrokenFragment;
    f.file = page.m_strPath;
    f.line = link.line;
    f.column = link.column;
    f.link = link.url;
    f.target = target.m_strPath;
    f.message = "no element with the id \"" + link.fragment + "\" on its page";
    return f;
}

}  // namespace

void SortAnchors(std::vector<std::string>& anchors) {
    std::sort(anchors.begin(), anchors.end());
    anchors.erase(std::unique(anchors.begin(), anchors.end()), anchors.end());
    anchors.shrink_to_fit();
}

bool OffersFragment(const std::vector<std::string>& anchors, std::string_view fragment) {
    if (fragment.empty() || fragment.starts_with(":~:")) return true;
    std::string name(fragment);
    if (Has(anchors, name)) return true;
    std::string decoded = name;
    DecodeUrl(decoded);
    if (decoded != name && Has(anchors, decoded)) return true;
    std::string lower;
    for (char c : decoded)
        lower += LowerAscii(c);
    return lower == "top";
}

std::string UnresolvedFragmentLines(const CHtmlNode& page, CFindings* findings) {
    if (!page.m_pFragmentLinks) return {};
    std::string lines;
    for (const CHtmlNode::CFragmentLink& link : *page.m_pFragmentLinks) {
        const CHtmlNode* target = TargetPage(page, link);
        if (!target || OffersFragment(*target->m_pAnchors, link.fragment)) continue;
        if (lines.empty()) lines = "\n" + page.InFileHeading() + "\n";
        lines += Format("   line %4d: %s\n", link.line, ShownName(link.url).c_str());
        if (findings) findings->Add(Unresolved(page, *target, link));
    }
    return lines;
}

}  // namespace ts
