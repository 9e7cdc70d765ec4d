#include <gtest/gtest.h>

#include "base/ReportStream.h"
#include "html/Attributes.h"
#include "html/LinkSite.h"

namespace ts::test {

namespace {

std::string BadFormat(int line, const std::string& path) {
    return Format("line %4d %-26s    HTML syntax error, bad tag format\n", line, path.c_str());
}

}  // namespace

TEST(Attributes, FindsTheAttributeByTheTableRules) {
    CLinkSite site;
    site.Write("index.html",
               "<A HREF = \"Page.HTM\">\n"                  // 1
               "<a href=page.htm>\n"                        // 2 unquoted, valid
               "<a href='page.htm'>\n"                      // 3 single quotes, valid
               "<a name=\"x y\" href=\"y.htm\">\n"          // 4
               "<a title=\"a href b\" href=\"z.htm\">\n"    // 5 quoted text is skipped whole
               "<a hreflang=\"en\" href=\"w.htm\">\n"       // 6 names match whole
               "<a href=\"#top\"><a href=\"x.htm#top\">\n"  // 7
               "<area href=\"area.htm\"><applet codebase=\"cls/\"><frameset src=\"no.htm\">\n"
               "<a\thref=\"tab.htm\"><a>\n"                                 // 9
               "<body background=\"bg.gif\" ><form action=\"go.cgi\">\n");  // 10
    site.Write("page.htm", "");
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Status(), "");
    EXPECT_EQ(site.Links("index.html"),
              "1 L Page.HTM -> page.htm !\n"
              "2 L -> page.htm\n"
              "3 L -> page.htm\n"
              "4 L y.htm\n"
              "5 L z.htm\n"
              "6 L w.htm\n"
              "7 L x.htm\n"
              "8 L area.htm\n"
              "8 L cls/\n"
              "9 L tab.htm\n"
              "10 L bg.gif\n"
              "10 L go.cgi\n");
}

TEST(Attributes, ReplaceableTextSkipsTheSchemeAndTheFragment) {
    CHtmlNode::CTag tag;
    tag.m_nStart = 1000;
    std::string value;
    std::string text = "<a href=\"http://host/x.htm#part\">";
    ASSERT_EQ(FindAttribute(text, "a", "href", tag, value), AttrResult::Found);
    EXPECT_EQ(value, "http://host/x.htm");
    EXPECT_EQ(text.substr(tag.m_nStart - 1000, tag.m_nEnd - tag.m_nStart), "//host/x.htm");

    tag.m_nStart = 0;
    text = "<img  SRC=\"pic.gif\"  >";
    ASSERT_EQ(FindAttribute(text, "img", "src", tag, value), AttrResult::Found);
    EXPECT_EQ(text.substr(tag.m_nStart, tag.m_nEnd - tag.m_nStart), "pic.gif");
    EXPECT_EQ(FindAttribute("<img src=\"\">", "img", "src", tag, value), AttrResult::Absent);
    EXPECT_EQ(FindAttribute("<img src=\"a.gif>", "img", "src", tag, value), AttrResult::BadFormat);
    EXPECT_EQ(FindAttribute("<img src>", "img", "src", tag, value), AttrResult::Absent);
    EXPECT_EQ(FindAttribute("<img src=a.gif", "img", "src", tag, value), AttrResult::BadFormat);
    // Character references are read; the replaceable text ends at the query as written.
    tag.m_nStart = 0;
    text = "<a href='a&amp;b.htm?x=1&amp;y=2#z'>";
    ASSERT_EQ(FindAttribute(text, "a", "href", tag, value), AttrResult::Found);
    EXPECT_EQ(value, "a&b.htm?x=1&y=2");
    EXPECT_EQ(text.substr(tag.m_nStart, tag.m_nEnd - tag.m_nStart), "a&amp;b.htm");
    EXPECT_EQ(FindAttribute("<imgsrc=\"a.gif\">", "img", "src", tag, value), AttrResult::Absent);
}

TEST(Attributes, AnImageGivesEveryLinkInFileOrder) {
    CLinkSite site;
    site.Write("index.html",
               "<img src=\"a.gif\" usemap=\"#m\" lowsrc=\"b.gif\">\n"   // 1: usemap is empty
               "<img dynsrc=\"c.avi\" src=\"d.gif\">\n"                 // 2: in file order
               "<img src usemap lowsrc>\n"                              // 3: no values, valid
               "<img usemap=\"e.map\">\n"                               // 4: no src needed
               "<img src=\"f.gif\" usemap=x lowsrc=\"g.gif\">\n"        // 5: unquoted is valid
               "<img src=\"h.gif\"lowsrc=\"i.gif\" src=\"j.gif\">\n");  // 6: two errors
    EXPECT_EQ(site.Parse(), 1);
    std::string path = site.Path("index.html");
    // No blank before lowsrc, src given twice (a browser takes the first).
    EXPECT_EQ(site.Status(), BadFormat(6, path) + BadFormat(6, path));
    EXPECT_EQ(site.Links("index.html"),
              "1 L a.gif\n"
              "1 L b.gif\n"
              "2 L c.avi\n"
              "2 L d.gif\n"
              "4 L e.map\n"
              "5 L f.gif\n"
              "5 L x\n"
              "5 L g.gif\n"
              "6 L h.gif\n"
              "6 L i.gif\n");
    const auto& tags = *site.Html("index.html").m_pTags;
    for (size_t i = 1; i < tags.size(); ++i)
        EXPECT_LT(tags[i - 1].m_nStart, tags[i].m_nStart);
}

// Rows for scripts and media come after the old table and change nothing for its tags.
TEST(Attributes, ScriptsAndMediaAreLinksToo) {
    CLinkSite site;
    site.Write("index.html",
               "<script src=\"app.js\"></script><iframe src=\"frame.htm\"></iframe>\n"
               "<video src=\"v.mp4\"><source src=\"s.webm\"><track src=\"t.vtt\">\n"
               "<audio src=\"a.ogg\"><object data=\"o.svg\">\n"
               "<object codebase=\"cb/\" data=\"ignored.swf\"><embed src=\"e.swf\">\n");
    for (const char* f :
         {"app.js", "frame.htm", "v.mp4", "s.webm", "t.vtt", "a.ogg", "o.svg", "e.swf"})
        site.Write(f, "x");
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Links("index.html"),
              "1 L -> app.js\n"
              "1 L -> frame.htm\n"
              "2 L -> v.mp4\n"
              "2 L -> s.webm\n"
              "2 L -> t.vtt\n"
              "3 L -> a.ogg\n"
              "3 L -> o.svg\n"
              "4 L cb/\n"
              "4 L ignored.swf\n"
              "4 L -> e.swf\n");
}

TEST(Attributes, BaseTagsMoveTheBaseOfLaterLinks) {
    CLinkSite site;
    site.Write("index.html",
               "<a href=\"top.htm\">\n"
               "<base href=\"sub/\">\n"
               "<a href=\"in.htm\">\n");
    site.Write("slash.html", "<base href=\"/sub/\"><a href=\"in.htm\">\n");
    site.Write("full.html",
               "<a href=\"top.htm\">\n"
               "<base href=\"http://host/dir/page.html\">\n"
               "<a href=\"../x.htm?q=1\"><a href=\"/abs.htm\"><a href=\"//other/y\">\n"
               "<a href=\"z.htm\"><a href=\"mailto:me@host\">\n");
    site.Write("top.htm", "");
    site.Write("sub/in.htm", "");
    site.Scan();
    for (const char* page : {"index.html", "slash.html", "full.html"})
        ParseLinks(site.Html(page));
    EXPECT_EQ(site.Links("index.html"),
              "1 L -> top.htm\n"
              "2 B sub/ -> sub\n"
              "3 L -> sub/in.htm\n");
    EXPECT_EQ(site.Html("index.html").m_strBase, site.Path("sub/"));
    EXPECT_EQ(site.Links("slash.html"),
              "1 B /sub/ -> sub\n"
              "1 L -> sub/in.htm\n");
    EXPECT_EQ(site.Links("full.html"),
              "1 L -> top.htm\n"
              "3 E http://host/x.htm?q=1\n"
              "3 E http://host/abs.htm\n"
              "3 E http://other/y\n"
              "4 E http://host/dir/z.htm\n"
              "4 E mailto:me@host\n");
    EXPECT_EQ(site.Html("full.html").m_strBase, "http://host/dir/page.html/");
    EXPECT_EQ(site.Status(), "");
}

}  // namespace ts::test
