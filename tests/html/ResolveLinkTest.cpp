#include <gtest/gtest.h>

#include "html/LinkSite.h"

namespace ts::test {

TEST(ResolveLink, LocalLinksResolveIgnoringCaseAndAreFlaggedWhenTheirTextMustChange) {
    CLinkSite site;
    site.Write("docs/x.htm",
               "<a href=\"../dir/My%20Page.htm\">\n"  // 1 resolves, written as it must be
               "<a href=\"../dir/My Page.htm\">\n"    // 2 resolves, the space must be escaped
               "<a href=\"../PAGE.HTM\">\n"           // 3 resolves, case differs
               "<a href=\"../img/a.gif\">\n"          // 4 only a.gif and img are compared
               "<a href=\"./y.htm\"><a href=\"../dir/\">\n"                // 5 a file, a directory
               "<a href=\"/docs/y.htm\"><a href=\"/DOCS/y.htm\">\n"        // 6 from the site's root
               "<a href=\"file:y.htm\"><a href=\"javascript:go()\">\n"     // 7 script: no record
               "<a href=\"MAILTO:someone\"><a href=\"//host/x.htm\">\n");  // 8
    site.Write("dir/My Page.htm", "");
    site.Write("page.htm", "");
    site.Write("img/a.gif", "GIF");
    site.Write("docs/y.htm", "");
    site.Write("old.htm", "<a href=\"new.htm\">\n");
    site.Write("new.htm", "");
    site.Scan();
    site.Node("new.htm")->m_strNewName = "NEW.HTM";  // as the renaming pass leaves it
    CHtmlNode& x = site.Html("docs/x.htm");
    EXPECT_EQ(ParseLinks(x), 0);
    EXPECT_EQ(site.Links("docs/x.htm"),
              "1 L ../dir/My Page.htm -> dir/My Page.htm\n"
              "2 L ../dir/My Page.htm -> dir/My Page.htm !\n"
              "3 L ../PAGE.HTM -> page.htm !\n"
              "4 L ../img/a.gif -> img/a.gif\n"
              "5 L ./y.htm -> docs/y.htm\n"
              "5 L ../dir/ -> dir\n"
              "6 L /docs/y.htm -> docs/y.htm\n"
              "6 L /DOCS/y.htm -> docs/y.htm !\n"
              "7 L file:y.htm -> docs/y.htm\n"
              "8 E MAILTO:someone\n"
              "8 E http://host/x.htm\n");
    EXPECT_EQ(x.m_bRewrite, 1);
    ParseLinks(site.Html("old.htm"));
    EXPECT_EQ(site.Links("old.htm"), "1 L new.htm -> new.htm !\n");
    site.Write("clean.htm", "<a href=\"docs/y.htm\">");
    site.Scan();
    ParseLinks(site.Html("clean.htm"));
    EXPECT_EQ(site.Html("clean.htm").m_bRewrite, 0);
}

// A local link's query is not part of the name: the look-up and the text a rewrite replaces end
// before it. An escaped "?" is a character of the name. External URLs keep their queries.
TEST(ResolveLink, LocalQueriesAreCutLikeFragments) {
    CLinkSite site;
    const std::string page =
        "<link href=\"style.css?v=2\">\n"
        "<a href=\"a%3Fb.html\">\n"
        "<a href=\"?page=2\"><a href=\"#top\">\n"
        "<a href=\"http://host/q.cgi?a=1\">\n"
        "<a href=\"missing.htm?x=1#y\">\n";
    site.Write("index.html", page);
    site.Write("style.css", "");
    site.Write("a?b.html", "");
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Links("index.html"),
              "1 L style.css -> style.css\n"
              "2 L a?b.html -> a?b.html\n"
              "4 E http://host/q.cgi?a=1\n"
              "5 L missing.htm\n");
    const auto& tags = *site.Html("index.html").m_pTags;
    // The parser ends the replaceable text at the "?" (or, before it did, the rewrite kept
    // everything from the "?" on): the name is what comes before it.
    auto replaced = [&](size_t i) {
        std::string text = page.substr(tags[i].m_nStart, tags[i].m_nEnd - tags[i].m_nStart);
        return tags[i].m_nKind == LK_LOCAL ? text.substr(0, text.find('?')) : text;
    };
    EXPECT_EQ(replaced(0), "style.css");
    EXPECT_EQ(replaced(1), "a%3Fb.html");
    EXPECT_EQ(replaced(2), "//host/q.cgi?a=1");
    EXPECT_EQ(replaced(3), "missing.htm");
    EXPECT_EQ(site.Status(), "");
}

}  // namespace ts::test
