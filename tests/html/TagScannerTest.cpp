#include <gtest/gtest.h>

#include <random>

#include "base/ReportStream.h"
#include "html/LinkSite.h"
#include "html/TagScanner.h"
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

// The scanner on its own: every tag, with or without links, and every stray delimiter.
TEST(TagScanner, ScanTagsReportsEveryTagAndStrayDelimiter) {
    CTempDir dir;
    std::string path = dir.Write(
        "p.html", "<p>\n>\n<b <i>" + std::string("<") + std::string(600, 'x') + "><!-- <x> -->");
    std::unique_ptr<CFile> file = RealFileSystem().OpenRead(path);
    ASSERT_TRUE(file);
    std::string found;
    bool ok = ScanTags(
        *file,
        [&](const CHtmlNode::CTag& tag, std::string_view text, bool tooLong) {
            found += Format("%d-%d@%d ", static_cast<int>(tag.m_nStart),
                            static_cast<int>(tag.m_nEnd), tag.m_nLine) +
                     (tooLong ? std::string("long") : std::string(text)) + "\n";
        },
        [&](int line, StrayDelimiter stray) {
            found += Format("stray@%d ", line) +
                     (stray == StrayDelimiter::NoClosing ? "no closing\n" : "no starting\n");
        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(found,
              "0-2@1 <p>\n"
              "stray@2 no starting\n"
              "stray@3 no closing\n"
              "9-11@3 <i>\n"
              "12-613@3 long\n");
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

namespace {

// The scanner in its plainest form, byte by byte over the whole text, with the line-end table built
// block by block: the reference the streaming scanner must match.
struct ReferenceScan {
    std::string status;
    std::string links;
};

ReferenceScan Reference(const std::string& data, const std::string& path) {
    std::vector<uint64_t> table;
    bool note = false;
    for (size_t off = 0; off < data.size(); off += 512) {
        std::string block = data.substr(off, 512);
        std::string text = block.substr(0, block.find('\0'));
        size_t i = 0;
        if (note && !text.empty() && text[0] == '\n') i = 1;
        note = false;
        for (; i < text.size(); ++i) {
            if (text[i] == '\r') {
                table.push_back(off + i);
                if (i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
                else if (i == block.size() - 1)
                    note = true;
            } else if (text[i] == '\n') {
                table.push_back(off + i);
            }
        }
    }
    table.push_back(data.size());
    size_t cursor = 1;
    auto lineOf = [&](uint64_t o) {
        while (table[cursor - 1] <= o && cursor < table.size())
            ++cursor;
        return static_cast<int>(cursor);
    };
    ReferenceScan r;
    std::string tooLong;
    bool comment = false, open = false;
    size_t start = 0;
    int line = 1;
    for (size_t o = 0; o < data.size(); ++o) {
        if (data[o] == '<') {
            if (comment) continue;
            if (open) r.status += SyntaxLine(line, path, kNoClosing);
            open = false;
            if (data.compare(o + 1, 3, "!--") == 0) {
                comment = true;
            } else {
                open = true;
                start = o;
                line = lineOf(o);
            }
        } else if (data[o] == '>') {
            if (comment) {
                if (o >= 2 && data.compare(o - 2, 2, "--") == 0) comment = false;
            } else if (open) {
                open = false;
                std::string tag = data.substr(start, o - start + 1);
                if (tag.size() > 512)
                    tooLong += Format("line %4d%26s%s    tag > 512 characters, being skipped.\n",
                                      line, "", path.c_str());
                else if (tag.starts_with("<a href=\""))
                    r.links += std::to_string(line) + " L " + tag.substr(9, tag.size() - 11) + "\n";
            } else {
                line = lineOf(o);
                r.status += SyntaxLine(line, path, kNoStarting);
            }
        }
    }
    r.status += tooLong;
    return r;
}

}  // namespace

// Random pages of every delimiter, line end, NUL and long run, some longer than several reads:
// the streaming scanner finds what a plain scan of the whole text finds.
TEST(TagScanner, MatchesAPlainScanOfRandomPages) {
    std::mt19937 random(11);
    const std::vector<std::string> pieces = {"<",
                                             ">",
                                             "<!--",
                                             "-->",
                                             "--",
                                             "-",
                                             "!",
                                             "\n",
                                             "\r",
                                             "\r\n",
                                             std::string(1, '\0'),
                                             "x",
                                             " ",
                                             "<a href=\"u1.htm\">",
                                             "<a href=\"u2.htm\">",
                                             std::string(300, 'y')};
    for (int round = 0; round < 60; ++round) {
        std::string data;
        size_t target = random() % 3 == 0 ? 140000 : 3000;
        while (data.size() < target) {
            if (random() % 400 == 0)
                data += std::string(70000, 'z');
            else
                data += pieces[random() % pieces.size()];
        }
        CLinkSite site;
        site.Write("index.html", data);
        site.Scan();
        site.Parse();
        ReferenceScan want = Reference(data, site.Path("index.html"));
        EXPECT_EQ(site.Status(), want.status) << "round " << round;
        EXPECT_EQ(site.Links("index.html"), want.links) << "round " << round;
    }
}

}  // namespace ts::test
