#include "html/Hierarchy.h"

#include <vector>

#include "base/Progress.h"
#include "base/RunContext.h"
#include "html/HtmlNode.h"
#include "html/IndexPage.h"
#include "site/DirNode.h"

namespace ts {

namespace {

// State of one kind of hierarchy walk: its nesting depth and its cancel flag. Every walk
// leaves it at depth 0, not cancelled, so it lives only while a walk runs.
struct WalkState {
    int depth = 0;
    bool cancel = false;
};

// The state of the walk of each kind running on this thread, for a pass that walks again.
thread_local WalkState* t_pWalk = nullptr;
thread_local WalkState* t_pWalkWith = nullptr;

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
class CWalk {
public:
    CWalk(CProgress& progress, const CLinkOptions& links, const HtmlPass& pass,
          const std::string& caption, WalkState& state, bool marking)
        : m_progress(progress),
          m_pass(pass),
          m_caption(caption),
          m_state(state),
          m_bMarking(marking),
          m_followed(links) {}

    int Run(CHtmlNode& home) {
        if (m_state.depth == 0) ClearVisited(home);
        if (home.m_bVisited) return 0;
        Enter(home);
        for (;;) {
            if (Descend()) continue;
            int result = Leave();
            if (m_stack.empty()) return result;
            // The page's result goes to the page that linked to it.
            WalkFrame& parent = m_stack.back();
            parent.result += result;
            After(parent, *parent.child, parent.child, parent.childWasMarked);
        }
    }

private:
    // Steps of a page before the pages it links to; false when it was passed already.
    bool Enter(CHtmlNode& node) {
        if (node.m_bVisited) return false;
        node.m_bVisited = true;
        if (m_state.depth == 0) m_progress.Begin(m_caption, node.m_nLinkedHtml);
        std::string dir = node.m_pParent ? node.m_pParent->m_strPath : std::string();
        m_state.cancel = m_progress.SetDirectory(dir);
        m_progress.SetFile(node.m_strPath);
        int result = m_pass(node) ? 1 : 0;
        bool counts = false;
        if (m_bMarking) {
            node.m_bMarked = true;
            if (node.m_nLinkedHtml == 0) {
                node.m_nLinkedHtml = 1;
                counts = true;
            }
        }
        m_stack.push_back({&node, 0, result, counts, nullptr, false});
        return true;
    }

    // Follows the links of the page on top from where it left off; true when it entered a
    // page, which is then on top.
    bool Descend() {
        const size_t top = m_stack.size() - 1;
        CHtmlNode* node = m_stack[top].node;
        if (!node->HasLinks() || !node->m_pTags) return false;
        while (!m_state.cancel && m_stack[top].nextTag < node->m_pTags->size()) {
            // A link to a directory leads on to the directory's index page.
            CFileNode* target = m_followed.Of((*node->m_pTags)[m_stack[top].nextTag++]);
            if (target && Follow(top, *target)) return true;
        }
        return false;
    }

    // One link of the page at index top; true when it entered the target.
    bool Follow(size_t top, CFileNode& target) {
        ++m_state.depth;
        CHtmlNode* page = nullptr;
        bool wasMarked = false;
        if (target.IsHtmlNode() && static_cast<CHtmlNode&>(target).HasLinks()) {
            page = static_cast<CHtmlNode*>(&target);
            wasMarked = page->m_bMarked;
            if (Enter(*page)) {
                m_stack[top].child = page;
                m_stack[top].childWasMarked = wasMarked;
                return true;
            }
        }
        After(m_stack[top], target, page, wasMarked);
        return false;
    }

    // What the caller does once a target's walk has returned.
    void After(WalkFrame& frame, CFileNode& target, CHtmlNode* page, bool wasMarked) {
        if (m_bMarking && page && frame.counts && !wasMarked)
            frame.node->m_nLinkedHtml += page->m_nLinkedHtml;
        --m_state.depth;
        if (m_bMarking) target.m_bMarked = true;
    }

    // The page on top is done; its result.
    int Leave() {
        if (m_state.depth == 0) m_progress.End();
        int result = m_stack.back().result;
        if (m_state.cancel) {
            if (m_state.depth == 0) m_state.cancel = false;
            result = -1;
        }
        m_stack.pop_back();
        return result;
    }

    CProgress& m_progress;
    const HtmlPass& m_pass;
    const std::string& m_caption;
    WalkState& m_state;
    const bool m_bMarking;
    CFollowedEntries m_followed;
    std::vector<WalkFrame> m_stack;
};

// A walk that an exception (a lack of memory) ends leaves its state as it found it: a pass
// that catches it and walks on from a page would otherwise pass none of the pages.
int GuardedWalk(CHtmlNode& home, const HtmlPass& pass, const std::string& caption, WalkState& state,
                bool marking) {
    const int depth = state.depth;
    try {
        return CWalk(home.Ctx().progress, home.Ctx().links, pass, caption, state, marking)
            .Run(home);
    } catch (...) {
        state.depth = depth;
        state.cancel = false;
        throw;
    }
}

// Runs in the walk of the kind running on this thread, or in a new one.
int WalkIn(WalkState*& running, CHtmlNode& home, const HtmlPass& pass, const std::string& caption,
           bool marking) {
    if (running) return GuardedWalk(home, pass, caption, *running, marking);
    WalkState state;
    struct CRunning {
        WalkState*& p;
        ~CRunning() { p = nullptr; }
    } scope{running};
    running = &state;
    return GuardedWalk(home, pass, caption, state, marking);
}

}  // namespace

int WalkHierarchy(CHtmlNode& home, const HtmlPass& pass, const std::string& caption) {
    return WalkIn(t_pWalk, home, pass, caption, true);
}

int WalkHierarchyWith(CHtmlNode& home, const HtmlPassWith& pass, int* arg,
                      const std::string& caption) {
    return WalkIn(
        t_pWalkWith, home, [&pass, arg](CHtmlNode& node) { return pass(node, arg); }, caption,
        false);
}

void ClearVisited(CHtmlNode& home) {
    std::vector<CHtmlNode*> pending{&home};
    CFollowedEntries followed(home.Ctx().links);
    while (!pending.empty()) {
        CHtmlNode* node = pending.back();
        pending.pop_back();
        if (!node->m_bVisited) continue;
        node->m_bVisited = false;
        if (!node->HasLinks() || !node->m_pTags) continue;
        for (const CHtmlNode::CTag& tag : *node->m_pTags)
            if (CFileNode* target = followed.Of(tag); target && target->IsHtmlNode())
                pending.push_back(static_cast<CHtmlNode*>(target));
    }
}

}  // namespace ts
