#include <gtest/gtest.h>

#include "html/LinkSite.h"
#include "html/LinkText.h"

namespace ts::test {

// Hand-made records (as the parser gives them for every delimiter) against a tree whose
// entries carry suggested names: only renamed components change, in the delimiter's escapes.
TEST(LinkText, OnlyRenamedComponentsChangeAndEachDelimiterGetsItsEscapes) {
    CLinkSite site;
    site.ctx.links.fallbackExtensions = {"html"};
    site.Write("Café Dir/Tom's Page.html", "");
    site.Write("Café Dir/a b.htm", "");
    site.Write("docs/index.html", "");
    site.Write("about.html", "");
    site.Write("plain/keep.htm", "");
    site.Scan();
    site.Node("Café Dir")->m_strNewName = "Café (1)";
    site.Node("Café Dir/Tom's Page.html")->m_strNewName = "Tom's Page";
    site.Node("docs")->m_strNewName = "DOCS";
    site.Node("docs/index.html")->m_strNewName = "INDEX.HTM";
    const CLinkOptions& links = site.ctx.links;
    auto text = [&](const char* target, std::string_view written, LinkQuote quote,
                    LinkKind kind = LK_LOCAL) {
        CHtmlNode::CTag tag;
        tag.m_pTarget = site.Node(target);
        tag.m_nQuote = quote;
        tag.m_nKind = kind;
        std::string bytes = NewLinkBytes(tag, written, NamesOf::Suggested, links);
        // The quick test of the parser must agree with the full text on every record.
        std::string plain;
        for (char c : written)
            if (c != '\t' && c != '\r' && c != '\n') plain += c;
        EXPECT_EQ(LinkTextChanges(tag, written, NamesOf::Suggested, links), bytes != plain)
            << written;
        return bytes;
    };
    // Names as they stand need no new text; a name in another case does.
    EXPECT_EQ(text("plain/keep.htm", "x/../plain/./keep.htm", LinkQuote::Double),
              "x/../plain/./keep.htm");
    EXPECT_EQ(text("plain/keep.htm", "/plain/keep.htm", LinkQuote::None), "/plain/keep.htm");
    EXPECT_EQ(text("plain/keep.htm", "../Plain/keep.htm", LinkQuote::Single), "../plain/keep.htm");
    EXPECT_EQ(text("Café Dir/a b.htm", "a b.htm", LinkQuote::Double), "a%20b.htm");
    EXPECT_EQ(text("Café Dir/a b.htm", "a%20b.htm", LinkQuote::Double), "a%20b.htm");
    EXPECT_EQ(text("plain/keep.htm", "x/%2E%2E/../plain/keep.htm", LinkQuote::Double),
              "x/%2E%2E/../plain/keep.htm");
    EXPECT_EQ(text("plain/keep.htm", "pl%00ain/keep.htm", LinkQuote::Double), "plain/keep.htm");
    // The renamed directory in UTF-8 escapes; "." and ".." and a hidden component stay.
    EXPECT_EQ(text("Café Dir/a b.htm", "./Caf%C3%A9%20Dir/x/../a%20b.htm", LinkQuote::Double),
              "./Caf%C3%A9%20(1)/x/../a%20b.htm");
    // Each delimiter: what it cannot hold is escaped, nothing else.
    EXPECT_EQ(text("Café Dir/Tom's Page.html", "Café Dir/Tom's Page.html", LinkQuote::Double),
              "Caf%C3%A9%20(1)/Tom's%20Page");
    EXPECT_EQ(text("Café Dir/Tom's Page.html", "Café Dir/Tom's Page.html", LinkQuote::Single),
              "Caf%C3%A9%20(1)/Tom%27s%20Page");
    EXPECT_EQ(text("Café Dir/Tom's Page.html", "/Caf%C3%A9%20Dir/T.html", LinkQuote::None),
              "/Caf%C3%A9%20(1)/Tom%27s%20Page");
    EXPECT_EQ(text("Café Dir/Tom's Page.html", "Caf%c3%a9 Dir/x.html", LinkQuote::CssBare),
              "Caf%C3%A9%20%281%29/Tom%27s%20Page");
    // Not renamed: already escaped text is left alone (lower-case hex, raw UTF-8 and all);
    // only what a browser would not read as itself is escaped, minimally.
    EXPECT_EQ(text("plain/keep.htm", "pl%61in/keep.htm", LinkQuote::Double), "pl%61in/keep.htm");
    EXPECT_EQ(text("Café Dir/a b.htm", "../Caf%c3%a9 Dir/a%20b.htm", LinkQuote::Double),
              "../Caf%C3%A9%20(1)/a%20b.htm");
    EXPECT_EQ(text("plain/keep.htm", "plain/keep.htm\t", LinkQuote::Double), "plain/keep.htm");
    EXPECT_EQ(text("about.html", "ab%zz\x01/../about.html", LinkQuote::Double),
              "ab%25zz%01/../about.html");
    // A "\\" separates as a "/" does and stays as written.
    EXPECT_EQ(text("Café Dir/a b.htm", "Café Dir\\a b.htm", LinkQuote::Double),
              "Caf%C3%A9%20(1)\\a%20b.htm");
    EXPECT_EQ(text("plain/keep.htm", "x\\..\\plain\\keep.htm", LinkQuote::Double),
              "x\\..\\plain\\keep.htm");
    // A fallback link keeps its short form until its file is renamed.
    EXPECT_EQ(text("about.html", "/about", LinkQuote::Double), "/about");
    site.Node("about.html")->m_strNewName = "ABOUT.HTM";
    EXPECT_EQ(text("about.html", "/about", LinkQuote::Double), "/ABOUT.HTM");
    // A directory link names its index page once the page has a name a server does not look
    // for; a "base" tag never does.
    EXPECT_EQ(text("docs", "docs/", LinkQuote::Double), "DOCS/INDEX.HTM");
    EXPECT_EQ(text("docs", "./docs", LinkQuote::Double), "./DOCS/INDEX.HTM");
    EXPECT_EQ(text("docs", "docs/", LinkQuote::Double, LK_BASE), "DOCS/");
    site.Node("docs/index.html")->m_strNewName = "index.htm";
    EXPECT_EQ(text("docs", "docs/", LinkQuote::Double), "DOCS/");
    EXPECT_EQ(MinimalEscape("a\"b c'd", LinkQuote::None), "a%22b%20c%27d");
    EXPECT_EQ(EncodeName("a:b\x7F", LinkQuote::Double), "a%3Ab%7F");
}

}  // namespace ts::test
