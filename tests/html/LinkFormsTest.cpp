#include <gtest/gtest.h>

#include "base/ReportStream.h"
#include "html/CssLinks.h"
#include "html/LinkReports.h"
#include "html/LinkSite.h"

namespace ts::test {

namespace {

// The bytes of the page each record of it would replace.
std::string Replaced(CLinkSite& site, const std::string& rel, const std::string& text) {
    std::string out;
    for (const auto& t : *site.Html(rel).m_pTags)
        out += text.substr(t.m_nStart, t.m_nEnd - t.m_nStart) + "|";
    return out;
}

struct CCollect : CCssSink {
    void CssLink(const CCssLink& link) override {
        out += std::to_string(link.nStart) + ":" + link.strUrl + ":" +
               "DSNB"[static_cast<int>(link.nQuote)] + "\n";
    }
    std::string out;
};

}  // namespace

// Each URL of a srcset, a refresh, a style attribute and the newer attributes is a record of its
// own, with the line of its first byte and offsets of exactly the bytes a rewrite replaces.
TEST(LinkForms, EveryUrlOfATagIsARecord) {
    const std::string page =
        "<img srcset=\"a.png 1x, b%20c.png?v=1 2x,\n"                      // 1
        "   d.png 3x\" src=\"e.png\" sizes=\"(min-width: 3px) 100vw\">\n"  // 2
        "<meta http-equiv=\"Refresh\" content=\"5; URL = 'next.htm'\">\n"  // 3
        "<meta content=\"0;url=not.htm\" name=\"x\">\n"                    // 4: no refresh
        "<p style=\"background: url( &quot;bg.gif&quot; ) ; x:url(i&amp;j.gif)\">\n"  // 5
        "<svg><use xlink:href=\"icons.svg#home\"/><image href='pic.jpg'/></svg>\n"    // 6
        "<video poster=v.jpg src=\"v.mp4\"><button formaction=\"go.cgi\">\n"          // 7
        "<blockquote cite=\"src.htm\"><link imagesrcset=\"s,1.png 1x,s2.png\">\n"     // 8
        "<source srcset=\"x.webp\"><input type=image src=\"in.gif\" formaction=\"f.cgi\">\n";
    CLinkSite site;
    site.Write("index.html", page);
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Status(), "");
    EXPECT_EQ(site.Links("index.html"),
              "1 L a.png\n"
              "1 L b c.png\n"
              "2 L d.png\n"
              "2 L e.png\n"
              "3 L next.htm\n"
              "5 L bg.gif\n"
              "5 L i&j.gif\n"
              "6 L icons.svg\n"
              "6 L pic.jpg\n"
              "7 L v.jpg\n"
              "7 L v.mp4\n"
              "7 L go.cgi\n"
              "8 L src.htm\n"
              "8 L s,1.png\n"
              "8 L s2.png\n"
              "9 L x.webp\n"
              "9 L in.gif\n"
              "9 L f.cgi\n");
    EXPECT_EQ(Replaced(site, "index.html", page),
              "a.png|b%20c.png|d.png|e.png|next.htm|bg.gif|i&amp;j.gif|icons.svg|pic.jpg|v.jpg|"
              "v.mp4|go.cgi|src.htm|s,1.png|s2.png|x.webp|in.gif|f.cgi|");
    const auto& tags = *site.Html("index.html").m_pTags;
    EXPECT_EQ(tags[0].m_nSource, LinkSource::SrcsetItem);
    EXPECT_EQ(tags[3].m_nSource, LinkSource::Attribute);
    EXPECT_EQ(tags[4].m_nSource, LinkSource::Refresh);
    EXPECT_EQ(tags[5].m_nSource, LinkSource::CssUrl);
    EXPECT_EQ(tags[5].m_nQuote, LinkQuote::Double);
    EXPECT_EQ(tags[6].m_nQuote, LinkQuote::CssBare);
    EXPECT_EQ(tags[8].m_nQuote, LinkQuote::Single);
    EXPECT_EQ(tags[9].m_nQuote, LinkQuote::None);
}

// A sheet fed in two pieces, split anywhere, finds what the whole sheet finds.
TEST(LinkForms, TheStyleScannerFindsUrlsAcrossPieces) {
    const std::string sheet =
        "@import \"a.css\";@import url(b.css) screen; @IMPORT/**/'c.css';\n"
        "/* url(no1.gif) */ p { content: \"url(no2.gif)\"; background: URL(  d.gif  ) }\n"
        "q { background: url('e f.gif') url(\"g.gif\") myurl(no3.gif) url(bad url.gif) }\n"
        "r { background: url(data:image/png;base64," +
        std::string(CCssScanner::kMaxUrl, 'A') +
        ") url(h.gif)}\n"
        "s { src: url(i\\).gif) url(j\\67 .gif) url( ' k.gif\t' ) } t { x: url() url(\"\") }"
        " u { x: url('cut\n";
    const std::string want =
        "9:a.css:D\n"
        "28:b.css:B\n"
        "55:c.css:S\n"
        "129:d.gif:B\n"
        "161:e f.gif:S\n"
        "176:g.gif:D\n";
    CCollect whole;
    CCssScanner(whole).Feed(sheet.data(), sheet.size(), 0);
    ASSERT_EQ(whole.out.substr(0, want.size()), want);
    EXPECT_NE(whole.out.find(":h.gif:B\n"), std::string::npos);
    EXPECT_NE(whole.out.find(":i\\).gif:B\n"), std::string::npos);
    // A hex escape's white space is the escape's; blanks around a quoted URL are not the URL's.
    EXPECT_NE(whole.out.find(":j\\67 .gif:B\n"), std::string::npos);
    EXPECT_NE(whole.out.find(std::to_string(sheet.find("k.gif")) + ":k.gif:S\n"),
              std::string::npos);
    EXPECT_EQ(whole.out.find("no"), std::string::npos);
    EXPECT_EQ(whole.out.find("bad"), std::string::npos);
    EXPECT_EQ(whole.out.find("data:"), std::string::npos);
    EXPECT_EQ(whole.out.find("cut"), std::string::npos);
    for (size_t cut = 0; cut < 260; ++cut) {
        CCollect parts;
        CCssScanner css(parts);
        css.Feed(sheet.data(), cut, 0);
        css.Feed(sheet.data() + cut, sheet.size() - cut, cut);
        css.Finish();
        EXPECT_EQ(parts.out, whole.out) << "cut at " << cut;
    }
}

// CSS escapes are read as the tokenizer reads them, before the URL parser sees the text.
TEST(LinkForms, CssEscapesAreReadBeforeTheUrl) {
    EXPECT_EQ(CssUrlText("plain/a%20b.png"), "plain/a%20b.png");
    EXPECT_EQ(CssUrlText("a\\ b\\(c\\).png"), "a%20b%28c%29.png");
    // Up to six hex digits; one white space (CR LF as one) ends them.
    EXPECT_EQ(CssUrlText("\\2e png\\2E\r\nx\\0000410"), "%2Epng%2Ex%410");
    // Separators, "%", "?" and "#" stay what the URL parser reads them as; tabs and line ends go.
    EXPECT_EQ(CssUrlText("..\\\\d\\2f x\\%41\\3F q\\9 \\#f"), "..\\d/x%41?q#f");
    // NUL, a surrogate or a code point past Unicode reads as U+FFFD; a "\" that ends a line or
    // the text stands for nothing.
    EXPECT_EQ(CssUrlText("\\D800\\0 \\110000 a\\\nb\\"), "%EF%BF%BD%EF%BF%BD%EF%BF%BDab");
    // An escaped character keeps its UTF-8 bytes.
    EXPECT_EQ(CssUrlText("\\e9\\\xC3\xA9"), "%C3%A9%C3\xA9");
}

// A style sheet linked from a page is walked like one: its links resolve against its own
// directory, its targets are used, its unresolved links are listed under its own heading.
TEST(LinkForms, StyleSheetsAreWalkedLikePages) {
    CLinkSite site;
    site.Write("index.html",
               "<link rel=stylesheet href=\"css/Main.CSS\">\n"
               "<style>\n"
               "@import 'css/print.css';\n"
               "  body { background: url(img/bg.png) }\n"
               "</style><p style=\"x: url(img/p.png)\">\n");
    site.Write("css/Main.CSS",
               "@import \"second.css\";\nh1 {\n  background: url(../img/logo.png)\n}\n");
    site.Write("css/second.css", "p { background: url(\"missing.png\") }\r\n");
    site.Write("css/print.css", "");
    site.Write("css/unused.css", "x { background: url(../img/never.png) }");
    site.Write("img/bg.png", "\x89PNG");
    site.Write("img/p.png", "\x89PNG");
    site.Write("img/logo.png", "\x89PNG");
    site.Write("img/never.png", "\x89PNG");
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Status(), "");
    EXPECT_EQ(site.Links("index.html"),
              "1 L -> css/Main.CSS\n"
              "3 L -> css/print.css\n"
              "4 L -> img/bg.png\n"
              "5 L -> img/p.png\n");
    EXPECT_EQ(site.Links("css/Main.CSS"),
              "1 L -> css/second.css\n"
              "3 L -> img/logo.png\n");
    EXPECT_EQ(site.Links("css/second.css"), "1 L missing.png\n");
    EXPECT_TRUE(site.Html("css/Main.CSS").m_bStyleSheet);
    EXPECT_NE(site.Html("css/Main.CSS").m_nType, FT_HTML);
    for (const char* used : {"css/Main.CSS", "css/second.css", "img/logo.png", "img/p.png"})
        EXPECT_TRUE(site.Node(used)->m_bMarked) << used;
    EXPECT_FALSE(site.Node("css/unused.css")->m_bMarked);
    EXPECT_FALSE(site.Node("img/never.png")->m_bMarked);
    WalkHierarchy(site.Html("index.html"), ReportUnresolvedLinks, "Unresolved");
    EXPECT_EQ(site.Status(),
              "\n" + site.Html("css/second.css").InFileHeading() + "\n   line    1: missing.png\n");
}

// A page that declares a wide encoding cannot have been read right: it says so and keeps no
// links.
TEST(LinkForms, APageInAWideEncodingKeepsNoLinks) {
    for (const char* meta : {"<meta charset=\"UTF-16LE\">",
                             "<META HTTP-EQUIV=content-type CONTENT='text/html; Charset=utf32'>"}) {
        CLinkSite site;
        site.Write("index.html",
                   std::string("<a href=x.htm <b>\n") + meta + "\n<a href=\"y.htm\">\n");
        EXPECT_EQ(site.Parse(), 1) << meta;
        EXPECT_EQ(site.Status(),
                  Format("line    2 %-26s    page declares UTF-16 or UTF-32, its links are not "
                         "read\n",
                         site.Path("index.html").c_str()));
        EXPECT_EQ(site.Html("index.html").m_pTags, nullptr);
    }
    CLinkSite site;
    site.Write("index.html", "<meta charset=\"utf-8\"><a href=\"y.htm\">\n");
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Links("index.html"), "1 L y.htm\n");
}

}  // namespace ts::test
