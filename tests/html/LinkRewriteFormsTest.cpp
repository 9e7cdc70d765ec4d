#include <gtest/gtest.h>

#include "html/LinkRewrite.h"
#include "html/LinkSite.h"
#include "html/LinkText.h"
#include "site/TreeWriter.h"

namespace ts::test {

// Records of every delimiter, built as the parser gives them (the replaceable text ends at a
// "?"): the rewrite changes only the renamed component, keeps quotes, queries and fragments,
// and undo gives back the page byte for byte.
TEST(LinkRewriteForms, EveryDelimiterIsRewrittenInPlaceAndUndoneExactly) {
    CLinkSite site;
    const std::string page =
        "<a href='Tom%27s/x.htm?q=1#f'>\n"
        "<a href=Tom%27s/x.htm>\n"
        "<p style=\"background:url(./Tom%27s/x.htm)\">\n"
        "<a href=\"caf%c3%a9/../Tom's/x.htm\">\n";
    site.Write("index.html", page);
    site.Write("Tom's/x.htm", "<p>x</p>\n");
    site.Write("café/y.htm", "<p>y</p>\n");
    site.Scan();
    CHtmlNode& home = site.Html("index.html");
    CFileNode* x = site.Node("Tom's/x.htm");
    auto add = [&](const std::string& text, LinkQuote quote, LinkSource source) {
        CHtmlNode::CTag tag;
        size_t at = page.find(text);
        tag.m_nStart = at;
        tag.m_nEnd = at + text.size();
        tag.m_strUrl = text;
        tag.m_strWritten = text;
        tag.m_pTarget = x;
        tag.m_nQuote = quote;
        tag.m_nSource = source;
        tag.m_bRewrite = true;
        return tag;
    };
    home.m_pTags = std::make_unique<std::vector<CHtmlNode::CTag>>();
    home.m_pTags->push_back(add("Tom%27s/x.htm", LinkQuote::Single, LinkSource::Attribute));
    home.m_pTags->push_back(add("Tom%27s/x.htm>", LinkQuote::None, LinkSource::Attribute));
    home.m_pTags->back().m_nEnd -= 1;  // up to the ">"
    home.m_pTags->push_back(add("./Tom%27s/x.htm", LinkQuote::CssBare, LinkSource::CssUrl));
    home.m_pTags->push_back(
        add("caf%c3%a9/../Tom's/x.htm", LinkQuote::Double, LinkSource::Attribute));
    home.m_bRewrite = true;

    CTreeWriter writer(site.ctx);
    CFileNode* dir = site.Node("Tom's");
    // Renames the file, then its directory, and brings the file's path up to date.
    auto rename = [&](const std::string& dirName, const std::string& fileName) {
        ASSERT_TRUE(writer.Rename(*x, fileName));
        ASSERT_TRUE(writer.Rename(*dir, dirName));
        x->MovePath(dir->m_strPath + "/" + fileName);
    };
    rename("Tom's (2)", "X Y.HTM");
    ReadOnlyChoice readOnly = RO_SKIP;
    EXPECT_EQ(RewriteLinks(writer, home, readOnly, false), 1);
    const std::string rewritten = ReadFile(site.Path("index.html"));
    EXPECT_EQ(rewritten,
              "<a href='Tom%27s%20(2)/X%20Y.HTM?q=1#f'>\n"
              "<a href=Tom%27s%20(2)/X%20Y.HTM>\n"
              "<p style=\"background:url(./Tom%27s%20%282%29/X%20Y.HTM)\">\n"
              "<a href=\"caf%c3%a9/../Tom's%20(2)/X%20Y.HTM\">\n");
    // Rewriting again changes nothing: the links already name their files.
    EXPECT_EQ(RewriteLinks(writer, home, readOnly, false), 0);
    EXPECT_EQ(ReadFile(site.Path("index.html")), rewritten);

    rename("Tom's", "x.htm");
    EXPECT_EQ(RewriteLinks(writer, home, readOnly, true), 1);
    EXPECT_EQ(ReadFile(site.Path("index.html")), page);
}

}  // namespace ts::test
