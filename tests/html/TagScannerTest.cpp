#include <gtest/gtest.h>

#include "app/ReportStream.h"
#include "html/LinkSite.h"
#include "support/FaultyFileSystem.h"

namespace ts::test {

namespace {

std::string SyntaxLine(int line, const std::string& path, const std::string& msg) {
    return Format("line %4d %-26s    %s\n", line, path.c_str(), msg.c_str());
}

const std::string kNoClosing = "HTML syntax error, no closing \">\"";
const std::string kNoStarting = "HTML syntax error, no starting \"<\"";
const std::string kBadFormat = "HTML syntax error, bad tag format";

}  // namespace

TEST(TagScanner, SyntaxErrorsCarryTheLinesOfTheirTags) {
    CLinkSite site;
    site.Write("index.html",
               "<p>text</p>\n"                    // 1: two tags without links, no error
               "<a href=\"x.htm\"\n"              // 2: never closed
               "<img src=\"pic.gif\">\n"          // 3: a record all the same
               "<!-- <a href=\"c.htm\"> > -->\n"  // 4: nothing inside a comment counts
               "<!---><a href=\"d.htm\">\n"       // 5: the comment ends at its own ">"
               "\n"
               "a > b\n"  // 7: stray ">"
               "<a href=\"e.htm\">\n"
               "<a href=\"f.htm\"><!-- open at the end <a href=\"g.htm\">");
    EXPECT_EQ(site.Parse(), 1);
    std::string path = site.Path("index.html");
    EXPECT_EQ(site.Status(), SyntaxLine(2, path, kNoClosing) + SyntaxLine(7, path, kNoStarting));
    EXPECT_EQ(site.Links("index.html"),
              "3 L pic.gif\n"
              "5 L d.htm\n"
              "8 L e.htm\n"
              "9 L f.htm\n");
}

TEST(TagScanner, TagsOfUpTo512CharactersAreExamined) {
    auto tagOf = [](size_t length) {
        std::string head = "<a href=\"p.htm\" title=\"";
        std::string tail = "\">";
        return head + std::string(length - head.size() - tail.size(), 'x') + tail;
    };
    ASSERT_EQ(tagOf(512).size(), 512u);
    CLinkSite site;
    site.Write("index.html", "<html>\n" + tagOf(512) + "\n" + tagOf(513) + "\n</html>\n");
    site.Write("p.htm", "<p>\n");
    // A skipped tag is reported but is no syntax error.
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Status(), Format("line    3%26s%s    tag > 512 characters, being skipped.\n", "",
                                    site.Path("index.html").c_str()));
    EXPECT_EQ(site.Links("index.html"), "2 L p.htm -> p.htm\n");
}

TEST(TagScanner, LinesCountTheSameWithEveryLineEnd) {
    const std::string page =
        "<html>|<a href=\"one.htm\">|<a href=\"two.htm\"||<img src=\"three.gif\">|stray > here|";
    for (const char* end : {"\n", "\r\n", "\r"}) {
        CLinkSite site;
        std::string text;
        for (char c : page)
            text += c == '|' ? std::string(end) : std::string(1, c);
        site.Write("index.html", text);
        EXPECT_EQ(site.Parse(), 1);
        std::string path = site.Path("index.html");
        EXPECT_EQ(site.Status(), SyntaxLine(3, path, kNoClosing) + SyntaxLine(6, path, kNoStarting))
            << "line end " << int(end[0]) << int(end[1]);
        EXPECT_EQ(site.Links("index.html"), "2 L one.htm\n5 L three.gif\n");
    }
}

// The file is read in large pieces; delimiters and tags that straddle two of them must be
// seen as if the file were read whole.
TEST(TagScanner, DelimitersStraddlingReadsAreFound) {
    for (size_t boundary : {size_t(512), size_t(65536), size_t(66560), size_t(133118)}) {
        for (size_t shift = 0; shift < 8; ++shift) {
            for (const char* piece : {"<!--", "-->", "<a href=\"in.htm\">"}) {
                CLinkSite site;
                std::string text(boundary - shift - 2, ' ');
                text += "\n";
                std::string piece_ = piece;
                std::string tail;
                if (piece_ == "<!--")
                    tail = "<!-- <a href=\"hidden.htm\"> -->\n<a href=\"after.htm\">";
                else if (piece_ == "-->")
                    tail = "<a href=\"after.htm\">";
                else
                    tail = "<a href=\"in.htm\">\n";
                if (piece_ == "-->") {
                    // The comment opens early and its end lands on the boundary.
                    text = "<!-- " + std::string(boundary - shift - 6, '-') + "-->\n";
                }
                site.Write("index.html", text + tail);
                site.Parse();
                std::string want =
                    piece_ == "<a href=\"in.htm\">" ? "2 L in.htm\n" : "2 L after.htm\n";
                if (piece_ == "<!--") want = "3 L after.htm\n";
                EXPECT_EQ(site.Links("index.html"), want)
                    << "boundary " << boundary << " shift " << shift << " " << piece;
                EXPECT_EQ(site.Status(), "");
            }
        }
    }
}

TEST(TagScanner, ParseFailuresKeepNoLinks) {
    {
        CFaultyFileSystem fs;
        CLinkSite site(fs);
        site.Write("index.html", "<a href=\"x.htm\"> > <a href=\"y.htm\">\n");
        site.Scan();
        // The scan's classification read the first block; the parse's read fails.
        fs.FailOn(Op::Read, 1, "index.html");
        EXPECT_EQ(site.Parse(), 0);
        EXPECT_EQ(site.Status(), "");
        EXPECT_EQ(site.Errors(), ErrorLine(site.Path("index.html"), "read failed"));
        EXPECT_EQ(site.Html("index.html").m_pTags, nullptr);
        EXPECT_EQ(site.Html("index.html").m_strBase, "");
    }
    {
        CFaultyFileSystem fs;
        CLinkSite site(fs);
        site.Write("index.html", "<a href=\"x.htm\">\n");
        site.Scan();
        fs.FailOn(Op::OpenRead, 1, "index.html");
        EXPECT_EQ(site.Parse(), 0);
        EXPECT_EQ(site.Errors(), ErrorLine(site.Path("index.html"), "open failed"));
    }
}

}  // namespace ts::test
