#include "html/LinkReports.h"

#include <algorithm>
#include <vector>

#include "base/Findings.h"
#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "html/ExternalCheck.h"
#include "html/HtmlNode.h"
#include "html/IndexPage.h"
#include "html/Url.h"
#include "platform/ShownText.h"
#include "platform/Text.h"

namespace ts {

namespace {

// A line of the report of a file's links: the line number and the URL.
std::string LinkLine(const CHtmlNode::CTag& tag) {
    return Format("   line %4d: %s\n", tag.m_nLine, ShownName(ShownUrl(tag)).c_str());
}

// Schemes whose links run code in the page that holds them; such a URL is listed as text.
bool RunsScript(const std::string& url) {
    std::string scheme;
    for (char c : url) {
        // Browsers drop blanks, controls, tabs and line ends around and inside a scheme.
        if (static_cast<unsigned char>(c) <= ' ') continue;
        if (c == ':') break;
        scheme += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
        if (scheme.size() > 10) return false;
    }
    return scheme == "javascript" || scheme == "vbscript" || scheme == "data";
}

}  // namespace

std::string ShownUrl(const CHtmlNode::CTag& tag) {
    std::string url = tag.m_strUrl.Str();
    if (tag.m_nKind == LK_EXTERNAL) DecodeUrl(url);
    return url;
}

Finding LinkFinding(FindingKind kind, const CHtmlNode& page, const CHtmlNode::CTag& tag) {
    Finding f;
    f.kind = kind;
    f.file = page.m_strPath;
    f.line = tag.m_nLine;
    f.column = static_cast<int>(tag.m_nColumn);
    f.link = ShownUrl(tag);
    return f;
}

// The lines of one file are written together: one write instead of one per line, and still
// every line is on the disk before the next file is looked at.
std::string UnresolvedLinkLines(const CHtmlNode& page) {
    if (!page.HasLinks() || !page.m_pTags) return {};
    std::string lines;
    for (const CHtmlNode::CTag& tag : *page.m_pTags) {
        // A directory without an index page shows nothing; the link keeps its target, so
        // that a rename of the directory still rewrites it.
        if (tag.m_nKind != LK_LOCAL || FollowedEntry(tag, page.Ctx().links)) continue;
        if (lines.empty()) lines = "\n" + page.InFileHeading() + "\n";
        lines += LinkLine(tag);
    }
    return lines;
}

void CMissingTargets::Add(const CHtmlNode& page) {
    if (!page.HasLinks() || !page.m_pTags) return;
    for (const CHtmlNode::CTag& tag : *page.m_pTags) {
        if (tag.m_nKind != LK_LOCAL || FollowedEntry(tag, page.Ctx().links)) continue;
        // A directory without an index page is no missing file, but is as broken.
        const CFileNode* dir = tag.m_pTarget;
        const std::string missing = dir ? dir->m_strPath + kPathSep : std::string(tag.Missing());
        ++m_counts[missing];
        if (CFindings* findings = page.Ctx().findings) {
            Finding f = LinkFinding(FindingKind::BrokenLink, page, tag);
            f.target = missing;
            f.message = "unresolved local link";
            findings->Add(std::move(f));
        }
    }
}

void CMissingTargets::Write(CReportStream& out) const {
    if (m_counts.empty()) return;
    std::vector<std::pair<int, const std::string*>> order;
    for (const auto& [path, n] : m_counts)
        order.emplace_back(-n, &path);
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first < b.first : *a.second < *b.second;
    });
    out << HeadingBlock("MISSING TARGETS:");
    for (const auto& [n, path] : order)
        out << PadRight(ShownName(*path), 36) << kIndent
            << (n == -1 ? std::string("1 link") : Format("%d links", -n)) << "\n";
    out << kSectionGap;
}

int ReportUnresolvedLinks(CHtmlNode& page) {
    const std::string lines = UnresolvedLinkLines(page);
    page.Ctx().statusReport << lines;
    return lines.empty() ? 0 : 1;
}

// The external-URL page is opened in a browser: everything taken from the site is escaped
// there, so a hostile URL shows as text and cannot add markup or script to the page.
int CExternalLinkReport::Report(CHtmlNode& page) {
    if (!page.HasLinks() || !page.m_pTags) return 0;
    std::string lines, items;
    for (const CHtmlNode::CTag& tag : *page.m_pTags) {
        if (tag.m_nKind != LK_EXTERNAL) continue;
        if (lines.empty()) {
            lines = "\n" + page.InFileHeading() + "\n";
            items = "<p>\n<b>" + HtmlEscape(page.InFileHeading()) + "</b>\n<br>\n";
        }
        lines += LinkLine(tag);
        if (CFindings* findings = page.Ctx().findings) {
            Finding f = LinkFinding(FindingKind::ExternalUrl, page, tag);
            f.message = "external URL";
            findings->Add(std::move(f));
        }
        items += Format("line %4d: ", tag.m_nLine);
        const std::string url = ShownUrl(tag);
        std::string text = HtmlEscape(url);
        if (m_seen.insert(url).second) {
            if (RunsScript(url))
                items += text;
            else
                items += "<a href=\"" + text + "\">" + text + "</a>";
        } else {
            items += text + " (repeated above)";
        }
        if (m_check) items += m_check->PageMark(tag);
        items += "<br>\n";
    }
    page.Ctx().statusReport << lines;
    m_page << items;
    return lines.empty() ? 0 : 1;
}

}  // namespace ts
