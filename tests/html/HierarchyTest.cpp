#include <gtest/gtest.h>

#include "html/LinkReports.h"
#include "html/LinkSite.h"
#include "site/Examine.h"

namespace ts::test {

namespace {

std::string Walked(CLinkSite& site) {
    std::string out;
    for (const std::string& f : site.ui.filesShown)
        out += f.substr(site.dir.Path().size() + 1) + " ";
    return out;
}

int Report(CHtmlNode& home, int (*pass)(CHtmlNode&), const char* caption) {
    return WalkHierarchy(home, pass, caption);
}

}  // namespace

TEST(Hierarchy, WalksEachReachablePageOnceInPreOrder) {
    CLinkSite site;
    site.Write("index.html",
               "<a href=\"a.html\"><img src=\"pic.png\"><a href=\"b.html\"><a href=\"a.html\">");
    site.Write("a.html", "<a href=\"index.html\"><a href=\"c.html\"><a href=\"style.css\">");
    site.Write("b.html", "<a href=\"c.html\"><a href=\"a.html\">");
    site.Write("c.html", "<a href=\"b.html\">");
    site.Write("pic.png", "\x89PNG");
    site.Write("style.css", "p {}");
    site.Write("lonely.html", "<img src=\"only-here.gif\">");
    site.Write("only-here.gif", "GIF");
    site.Scan();
    site.ui.filesShown.clear();
    site.ui.captions.clear();
    EXPECT_EQ(site.Parse(), 0);
    // A style sheet is walked like a page: its links count too.
    EXPECT_EQ(Walked(site), "index.html a.html c.html b.html style.css ");
    CHtmlNode& home = site.Html("index.html");
    EXPECT_EQ(home.m_nLinkedHtml, 5);
    for (const char* used : {"index.html", "a.html", "b.html", "c.html", "pic.png", "style.css"})
        EXPECT_TRUE(site.Node(used)->m_bMarked) << used;
    EXPECT_FALSE(site.Node("lonely.html")->m_bMarked);
    EXPECT_FALSE(site.Node("only-here.gif")->m_bMarked);

    // Later walks take the same order and use the count as their range.
    site.ui.filesShown.clear();
    int calls = 0;
    EXPECT_EQ(WalkHierarchy(
                  home, [&calls](CHtmlNode&) { return ++calls % 2; }, "Second"),
              3);
    EXPECT_EQ(Walked(site), "index.html a.html c.html b.html style.css ");
    site.ui.filesShown.clear();
    int arg = 7;
    EXPECT_EQ(WalkHierarchyWith(
                  home, [](CHtmlNode&, int* a) { return *a == 7 ? 1 : 0; }, &arg, "With"),
              5);
    EXPECT_EQ(Walked(site), "index.html a.html c.html b.html style.css ");
    EXPECT_EQ(site.ui.captions, (std::vector<std::string>{"Checking URL Links", "Second", "With"}));
}

TEST(Hierarchy, CancellingStopsTheWalkAfterTheCurrentFile) {
    CLinkSite site;
    site.Write("index.html", "<a href=\"a.html\"><a href=\"missing.html\">");
    site.Write("a.html", "<a href=\"b.html\"><a href=\"gone.html\">");
    site.Write("b.html", "");
    site.Parse();
    site.ui.filesShown.clear();
    site.ui.directoriesShown = 0;
    site.ui.cancelAfterDirectories = 2;
    EXPECT_EQ(Report(site.Html("index.html"), &ReportUnresolvedLinks, "Reporting Unresolved Links"),
              -1);
    EXPECT_EQ(Walked(site), "index.html a.html ");
    // The file that was passed before the cancel still reported its links.
    EXPECT_NE(site.Status().find("gone.html"), std::string::npos);
    // The cancel ends with its walk: the next one starts afresh and passes every page.
    site.ui.cancelAfterDirectories = 0;
    site.ui.filesShown.clear();
    EXPECT_EQ(Report(site.Html("index.html"), &ReportUnresolvedLinks, "Again"), 2);
    EXPECT_EQ(Walked(site), "index.html a.html ");
}

// A pass that walks again joins the walk it runs in: it shares its depth, so it neither clears
// the pages passed already nor starts a progress range of its own.
TEST(Hierarchy, AWalkFromInsideAPassNestsInTheRunningWalk) {
    CLinkSite site;
    site.Write("index.html", "<a href=\"a.html\">");
    site.Write("a.html", "<a href=\"b.html\">");
    site.Write("b.html", "<a href=\"index.html\">");
    site.Parse();
    site.ui.filesShown.clear();
    site.ui.captions.clear();
    CHtmlNode& home = site.Html("index.html");
    CHtmlNode& a = site.Html("a.html");
    CHtmlNode& b = site.Html("b.html");
    int inner = 0;
    int outer = WalkHierarchy(
        home,
        [&](CHtmlNode& n) {
            if (&n == &a)
                inner = WalkHierarchy(
                    b, [](CHtmlNode&) { return 1; }, "Inner");
            return 1;
        },
        "Outer");
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(outer, 2);
    EXPECT_EQ(Walked(site), "index.html a.html b.html ");
    EXPECT_EQ(site.ui.captions, std::vector<std::string>{"Outer"});
    // Once the outer walk has returned, a walk is one of its own again.
    EXPECT_EQ(WalkHierarchy(
                  b, [](CHtmlNode&) { return 1; }, "Alone"),
              3);
    EXPECT_EQ(site.ui.captions, (std::vector<std::string>{"Outer", "Alone"}));
}

// Every page's walk is a heap frame, not a native one: a long chain cannot overflow the stack.
TEST(Hierarchy, AChainOfAHundredThousandPagesIsWalked) {
    CTempDir dir;
    CScriptedUi ui;
    CRunContext ctx(RealFileSystem(), ui);
    const int kPages = 100000;
    std::vector<std::unique_ptr<CHtmlNode>> pages;
    pages.reserve(kPages);
    for (int i = 0; i < kPages; ++i) {
        pages.push_back(std::make_unique<CHtmlNode>(
            &ctx, Examine(&ctx, dir / std::to_string(i), true), nullptr));
        pages.back()->m_nType = FT_HTML;
    }
    for (int i = 0; i + 1 < kPages; ++i) {
        pages[i]->m_pTags = std::make_unique<std::vector<CHtmlNode::CTag>>(2);
        (*pages[i]->m_pTags)[1].m_pTarget = pages[i + 1].get();
        (*pages[i]->m_pTags)[0].m_pTarget = pages[0].get();  // back to the start: visited
    }
    int order = 0;
    bool inOrder = true;
    int passed = WalkHierarchy(
        *pages[0],
        [&](CHtmlNode& n) {
            inOrder = inOrder && &n == pages[order].get();
            ++order;
            return 1;
        },
        "Chain");
    EXPECT_EQ(passed, kPages);
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(pages[0]->m_nLinkedHtml, kPages);
    EXPECT_EQ(pages[kPages - 2]->m_nLinkedHtml, 2);
    EXPECT_EQ(WalkHierarchyWith(
                  *pages[0], [](CHtmlNode&, int*) { return 1; }, nullptr, "Chain"),
              kPages);
    ClearVisited(*pages[0]);
    EXPECT_EQ(pages[kPages - 1]->m_bVisited, 0);
}

TEST(Hierarchy, UnresolvedAndExternalLinksAreListedPerFile) {
    CLinkSite site;
    site.Write("index.html",
               "<a href=\"http://host/A\">\n<a href=\"nothere.htm\">\n<a href=\"sub/p.html\">\n"
               "<base href=\"nodir/\">\n");
    site.Write("sub/p.html",
               "<a href=\"http://host/a\">\n<a href=\"http://host/A\">\n<a href=\"x y.htm\">");
    site.Parse();
    CHtmlNode& home = site.Html("index.html");
    EXPECT_EQ(Report(home, &ReportUnresolvedLinks, "Unresolved"), 2);
    EXPECT_EQ(site.Status(), "\nIn file \"" + site.Path("index.html") +
                                 "\"\n"
                                 "   line    2: nothere.htm\n"
                                 "\nIn file \"" +
                                 site.Path("sub/p.html") +
                                 "\"\n"
                                 "   line    3: x y.htm\n");
}

}  // namespace ts::test

namespace ts::test {

// A link to a directory leads the walk on to the directory's index page (the first of the
// index names, any case, found there); a "base" tag to a directory leads nowhere.
TEST(Hierarchy, DirectoryLinksLeadToTheirIndexPages) {
    CLinkSite site;
    site.ctx.links.indexFiles = {"index.html", "default.htm"};
    site.Write("index.html", "<a href=\"docs/\"><a href=\"more\"><base href=\"base/\">");
    site.Write("docs/DEFAULT.HTM", "<img src=\"../pic.png\"><a href=\"..\">");
    site.Write("docs/Index.html", "<a href=\"../lonely.html\">");
    site.Write("more/other.html", "<p>other</p>");
    site.Write("base/index.html", "<p>base</p>");
    site.Write("pic.png", "\x89PNG");
    site.Write("lonely.html", "<p>lonely</p>");
    site.Scan();
    site.ui.filesShown.clear();
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(Walked(site), "index.html docs/Index.html lonely.html ");
    for (const char* used : {"docs/Index.html", "lonely.html"})
        EXPECT_TRUE(site.Node(used)->m_bMarked) << used;
    for (const char* unused : {"docs/DEFAULT.HTM", "more/other.html", "base/index.html"})
        EXPECT_FALSE(site.Node(unused)->m_bMarked) << unused;
    // "more" has no index page: unresolved, though it keeps its target for renames.
    EXPECT_EQ(ReportUnresolvedLinks(site.Html("index.html")), 1);
    EXPECT_NE(site.Status().find("   line    1: more\n"), std::string::npos) << site.Status();
    EXPECT_EQ(site.Links("index.html"), "1 L docs/ -> docs\n1 L more -> more\n1 B base/ -> base\n");
}

}  // namespace ts::test
