#include <gtest/gtest.h>

#include "html/LinkReports.h"
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
              "1 L -> dir/My Page.htm\n"
              "2 L ../dir/My Page.htm -> dir/My Page.htm !\n"
              "3 L ../PAGE.HTM -> page.htm !\n"
              "4 L -> img/a.gif\n"
              "5 L -> docs/y.htm\n"
              "5 L ../dir/ -> dir\n"
              "6 L -> docs/y.htm\n"
              "6 L /DOCS/y.htm -> docs/y.htm !\n"
              "7 L -> docs/y.htm\n"
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
              "1 L -> style.css\n"
              "2 L -> a?b.html\n"
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
    EXPECT_EQ(replaced(2), "//host/q.cgi");
    EXPECT_EQ(replaced(3), "missing.htm");
    EXPECT_EQ(site.Status(), "");
}

}  // namespace ts::test

namespace ts::test {

// Links resolve as a browser reads them: dot segments anywhere, ".." above the top directory
// leaves the site unless the path is from the root, directories are targets, schemes other
// than "file:" are no local links, the site's own addresses and fallback extensions are.
TEST(ResolveLink, DotSegmentsDirectoriesSchemesSiteAddressesAndFallbacks) {
    CLinkSite site;
    site.ctx.links.siteUrls = {"https://Example.ORG/docs/"};
    site.ctx.links.fallbackExtensions = {"html"};
    site.Write("docs/x.htm",
               "<a href=\"./y.htm\"><a href=\"a/./b/../../y.htm\">\n"                 // 1
               "<a href=\"../java.desktop/javax/swing/../../java/applet/p.html\">\n"  // 2
               "<a href=\"../../outside.htm\"><a href=\"/../docs/y.htm\">\n"          // 3
               "<a href=\"a/\"><a href=\"a\"><a href=\"/\"><a href=\"./\"><a href=\"..\">\n"
               "<a href=\"javascript:go()\"><a href=\"data:text/html,x\"><a href=\"tel:+1\">\n"
               "<a href=\"about:blank\"><a href=\"blob:x\"><a href=\"news:comp\">\n"  // 6
               "<a href=\"https://example.org/docs/docs/y.htm?q=1\">\n"               // 7
               "<a href=\"//EXAMPLE.org/docs/about\"><a href=\"https://example.org/docsx/y\">\n"
               "<a href=\"http://example.org/docs/about\"><a href=\"about\">\n"        // 9
               "<a href=\"%2E%2E/about\"><a href=\"y.htm/\"><a href=\"a%2Fb.htm\">\n"  // 10
               "<a href=\" https://host/p\n\">\n");  // 11: blanks around a URL are not part of it
    site.Write("docs/y.htm", "");
    site.Write("docs/a/b.htm", "");
    site.Write("java.desktop/java/applet/p.html", "");
    site.Write("about.html", "");
    site.Scan();
    EXPECT_EQ(ParseLinks(site.Html("docs/x.htm")), 0);
    EXPECT_EQ(site.Links("docs/x.htm"),
              "1 L -> docs/y.htm\n"
              "1 L -> docs/y.htm\n"
              "2 L -> java.desktop/java/applet/p.html\n"
              "3 L ../../outside.htm\n"
              "3 L -> docs/y.htm\n"
              "4 L a/ -> docs/a\n"
              "4 L a -> docs/a\n"
              "4 L / -> .\n"
              "4 L ./ -> docs\n"
              "4 L .. -> .\n"
              "5 E tel:+1\n"
              "6 E news:comp\n"
              "7 L -> docs/y.htm\n"
              "8 L -> about.html\n"
              "8 E https://example.org/docsx/y\n"
              "9 E http://example.org/docs/about\n"
              "9 L about\n"
              "10 L -> about.html\n"
              "10 L y.htm/\n"
              "10 L a/b.htm\n"
              "11 E https://host/p\n");
    // A directory link is unresolved when the directory has no index page.
    site.Write("docs/index.htm", "");
    site.Scan();
    ParseLinks(site.Html("docs/x.htm"));
    EXPECT_EQ(ReportUnresolvedLinks(site.Html("docs/x.htm")), 1);
    const std::string status = site.Status();
    for (const char* broken : {"../../outside.htm\n", "a/\n", "   line    4: a\n", "/\n", "..\n",
                               "line    9: about\n", "y.htm/\n", "a/b.htm\n"})
        EXPECT_NE(status.find(broken), std::string::npos) << broken;
    EXPECT_EQ(status.find("./\n"), std::string::npos) << status;  // docs/index.htm
    EXPECT_EQ(status.find("javascript"), std::string::npos);
}

}  // namespace ts::test
