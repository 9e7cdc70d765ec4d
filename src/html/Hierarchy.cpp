#include "html/Hierarchy.h"

#include <vector>

#include "base/ReportStream.h"
#include "base/RunContext.h"
#include "base/RunUi.h"
#include "html/HtmlNode.h"
#include "platform/Text.h"
#include "site/DirNode.h"

namespace ts {

namespace {

// One page of a walk: a native stack frame of the recursive form, kept on the heap so that a
// chain of pages as long as the site allows cannot overflow the stack.
struct WalkFrame {
    CHtmlNode* node;
    size_t nextTag;
    int result;
    bool counts;       // this walk gave the page its m_nLinkedHtml
    CHtmlNode* child;  // the page being walked from here
    bool childWasMarked;
};

// The walk shared by WalkHierarchy (marking) and WalkHierarchyWith (not marking): pre-order,
// each page passed once, the pages a page links to taken in the order of its links.
int Walk(CHtmlNode& home, const HtmlPass& pass, const std::string& caption, WalkState& state,
         bool marking) {
    CRunContext& ctx = home.Ctx();
    CProgress& progress = ctx.progress;
    if (state.depth == 0) home.ClearVisited();
    if (home.m_bVisited) return 0;

    std::vector<WalkFrame> stack;
    // Steps of a page before the pages it links to; false when it was passed already.
    auto enter = [&](CHtmlNode& node) {
        if (node.m_bVisited) return false;
        node.m_bVisited = 1;
        if (state.depth == 0) progress.Begin(caption, node.m_nLinkedHtml);
        std::string dir = node.m_pParent ? node.m_pParent->m_strPath : std::string();
        state.cancel = progress.SetDirectory(dir);
        progress.SetFile(node.m_strPath);
        int result = pass(node) ? 1 : 0;
        bool counts = false;
        if (marking) {
            node.m_bMarked = true;
            if (node.m_nLinkedHtml == 0) {
                node.m_nLinkedHtml = 1;
                counts = true;
            }
        }
        stack.push_back({&node, 0, result, counts, nullptr, false});
        return true;
    };
    // What the caller does once a target's walk has returned.
    auto after = [&](WalkFrame& frame, CFileNode& target, CHtmlNode* page, bool wasMarked) {
        if (marking && page && frame.counts && !wasMarked)
            frame.node->m_nLinkedHtml += page->m_nLinkedHtml;
        --state.depth;
        if (marking) target.m_bMarked = true;
    };

    enter(home);
    for (;;) {
        size_t top = stack.size() - 1;
        bool descended = false;
        CHtmlNode* node = stack[top].node;
        if (node->m_nType == FT_HTML && node->m_pTags) {
            while (!state.cancel && stack[top].nextTag < node->m_pTags->size()) {
                CFileNode* target = (*node->m_pTags)[stack[top].nextTag++].m_pTarget;
                if (!target) continue;
                ++state.depth;
                CHtmlNode* page = nullptr;
                bool wasMarked = false;
                if (target->m_nType == FT_HTML && target->IsHtmlNode()) {
                    page = static_cast<CHtmlNode*>(target);
                    wasMarked = page->m_bMarked;
                    if (enter(*page)) {
                        stack[top].child = page;
                        stack[top].childWasMarked = wasMarked;
                        descended = true;
                        break;
                    }
                }
                after(stack[top], *target, page, wasMarked);
            }
        }
        if (descended) continue;

        // The page is done: its result goes to the page that linked to it.
        if (state.depth == 0) progress.End();
        int result = stack[top].result;
        if (state.cancel) {
            if (state.depth == 0) state.cancel = false;
            result = -1;
        }
        stack.pop_back();
        if (stack.empty()) return result;
        WalkFrame& parent = stack.back();
        parent.result += result;
        after(parent, *parent.child, parent.child, parent.childWasMarked);
    }
}

// A line of the report of a file's links: the line number and the URL.
std::string LinkLine(const CHtmlNode::CTag& tag) {
    return Format("   line %4d: %s\n", tag.m_nLine, tag.m_strUrl.c_str());
}

std::string InFile(const CHtmlNode& node) {
    return node.InFileHeading();
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

// A walk that an exception (a lack of memory) ends leaves its state as it found it: undo
// walks the same pages again later, and a depth left above 0 would make it pass none of them.
int GuardedWalk(CHtmlNode& home, const HtmlPass& pass, const std::string& caption, WalkState& state,
                bool marking) {
    const int depth = state.depth;
    try {
        return Walk(home, pass, caption, state, marking);
    } catch (...) {
        state.depth = depth;
        state.cancel = false;
        throw;
    }
}

}  // namespace

int WalkHierarchy(CHtmlNode& home, const HtmlPass& pass, const std::string& caption) {
    return GuardedWalk(home, pass, caption, home.Ctx().walk, true);
}

int WalkHierarchyWith(CHtmlNode& home, const HtmlPassWith& pass, int* arg,
                      const std::string& caption) {
    return GuardedWalk(
        home, [&pass, arg](CHtmlNode& node) { return pass(node, arg); }, caption,
        home.Ctx().walkWith, false);
}

void ClearExternalSeen(CRunContext& ctx) {
    ctx.externalSeen.reset();
}

void CHtmlNode::ClearVisited() {
    std::vector<CHtmlNode*> pending{this};
    while (!pending.empty()) {
        CHtmlNode* node = pending.back();
        pending.pop_back();
        if (!node->m_bVisited) continue;
        node->m_bVisited = 0;
        if (node->m_nType != FT_HTML || !node->m_pTags) continue;
        for (const CTag& tag : *node->m_pTags)
            if (tag.m_pTarget && tag.m_pTarget->IsHtmlNode())
                pending.push_back(static_cast<CHtmlNode*>(tag.m_pTarget));
    }
}

// The lines of one file are written together: one write instead of one per line, and still
// every line is on the disk before the next file is looked at.
int CHtmlNode::ReportUnresolvedLinks() {
    if (m_nType != FT_HTML || !m_pTags) return 0;
    std::string lines;
    for (const CTag& tag : *m_pTags) {
        if (tag.m_nKind != LK_LOCAL || tag.m_pTarget) continue;
        if (lines.empty()) lines = "\n" + InFile(*this) + "\n";
        lines += LinkLine(tag);
    }
    Ctx().statusReport << lines;
    return lines.empty() ? 0 : 1;
}

// The external-URL page is opened in a browser: everything taken from the site is escaped
// there, so a hostile URL shows as text and cannot add markup or script to the page.
int CHtmlNode::ReportExternalLinks() {
    if (m_nType != FT_HTML || !m_pTags) return 0;
    CRunContext& ctx = Ctx();
    if (!ctx.externalSeen) ctx.externalSeen = std::make_unique<std::unordered_set<std::string>>();
    std::string lines, items;
    for (const CTag& tag : *m_pTags) {
        if (tag.m_nKind != LK_EXTERNAL) continue;
        if (lines.empty()) {
            lines = "\n" + InFile(*this) + "\n";
            items = "<p>\n<b>" + HtmlEscape(InFile(*this)) + "</b>\n<br>\n";
        }
        lines += LinkLine(tag);
        items += Format("line %4d: ", tag.m_nLine);
        std::string text = HtmlEscape(tag.m_strUrl);
        if (ctx.externalSeen->insert(tag.m_strUrl).second) {
            if (RunsScript(tag.m_strUrl))
                items += text;
            else
                items += "<a href=\"" + text + "\">" + text + "</a>";
        } else {
            items += text + " (repeated above)";
        }
        items += "<br>\n";
    }
    ctx.statusReport << lines;
    ctx.auxStream << items;
    return lines.empty() ? 0 : 1;
}

}  // namespace ts
