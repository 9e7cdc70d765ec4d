#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/ReportStream.h"
#include "html/LinkSite.h"
#include "html/TagScanner.h"
#include "html/TagTokenizer.h"
#include "platform/Text.h"
#include "support/FaultyFileSystem.h"

namespace ts::test {

namespace {

std::string SyntaxLine(int line, const std::string& path, const std::string& msg) {
    return Format("line %4d %-26s    %s\n", line, path.c_str(), msg.c_str());
}

const std::string kNoClosing = "HTML syntax error, no closing \">\"";
const std::string kBadFormat = "HTML syntax error, bad tag format";

}  // namespace

TEST(TagScanner, SyntaxErrorsCarryTheLinesOfTheirTags) {
    CLinkSite site;
    site.Write("index.html",
               "<p>text</p>\n"                    // 1: two tags without links, no error
               "<a href=\"x.htm\"\n"              // 2: a "<" inside: the tag goes on
               "<img src=\"pic.gif\">\n"          // 3: ... to here; "<img" is an attribute
               "<!-- <a href=\"c.htm\"> > -->\n"  // 4: nothing inside a comment counts
               "<!---><a href=\"d.htm\">\n"       // 5: the comment ends at its own ">"
               "\n"
               "a > b\n"  // 7: a ">" in text is text
               "<a href=\"e.htm\">\n"
               "<a href=\"f.htm\"><!-- open at the end <a href=\"g.htm\">");
    EXPECT_EQ(site.Parse(), 1);
    std::string path = site.Path("index.html");
    EXPECT_EQ(site.Status(), SyntaxLine(2, path, kNoClosing));
    EXPECT_EQ(site.Links("index.html"),
              "2 L x.htm\n"
              "5 L d.htm\n"
              "8 L e.htm\n"
              "9 L f.htm\n");
}

// A missing closing quote swallows the tags after it, and a tag still open at the end of the
// file is lost: both lose links, so both are syntax errors with the line of their tag. A ">"
// in text stays valid.
TEST(TagScanner, LinksLostToBrokenSyntaxAreSyntaxErrors) {
    CLinkSite site;
    site.Write("index.html",
               "<p class=\"intro\">ok</p>\n"                       // 1
               "<b class=\"x>text</b> <a href=\"a.html\">a</a>\n"  // 2: the quote is missing
               "<p title=x\"y>t</p> <a href=\"b.html\">\n"         // 3: a quote in a bare value
               "<i>a > b</i> <a href=\"c.html\">\n"                // 4
               "<a href=\"d.html\"");                              // 5: open at the end
    EXPECT_EQ(site.Parse(), 1);
    const std::string path = site.Path("index.html");
    EXPECT_EQ(site.Status(), SyntaxLine(5, path, kNoClosing) + SyntaxLine(2, path, kBadFormat) +
                                 SyntaxLine(3, path, kBadFormat));
    EXPECT_EQ(site.Links("index.html"), "3 L b.html\n4 L c.html\n");
}

// The scanner on its own: every tag, with or without links, and every stray delimiter, with
// lines and columns (a CR LF is one line end).
TEST(TagScanner, ScanTagsReportsEveryTagAndStrayDelimiter) {
    CTempDir dir;
    const std::string x600(600, 'x');
    std::string path = dir.Write(
        "p.html", "<p>\r\n>\n<b <i><" + x600 + "><!-- <x> -->\n <q a\"b=c'd e=f\"g>\n<a href=\"z");
    std::unique_ptr<CFile> file = RealFileSystem().OpenRead(path);
    ASSERT_TRUE(file);
    std::string found;
    bool ok = ScanTags(
        *file,
        [&](const CHtmlNode::CTag& tag, std::string_view text, bool tooLong) {
            found += Format("%d-%d@%d:%u ", static_cast<int>(tag.m_nStart),
                            static_cast<int>(tag.m_nEnd), tag.m_nLine, tag.m_nColumn) +
                     (tooLong ? std::string("long") : std::string(text)) + "\n";
        },
        [&](int line, int column, StrayDelimiter stray) {
            found += Format("stray@%d:%d ", line, column) +
                     (stray == StrayDelimiter::NoClosing ? "no closing\n"
                      : stray == StrayDelimiter::Quote   ? "quote\n"
                                                         : "no starting\n");
        });
    EXPECT_TRUE(ok);
    const std::string longTag = "13-614@3:7 <" + x600 + ">\n";
    EXPECT_EQ(found,
              "0-2@1:1 <p>\n"
              "stray@3:1 no closing\n"
              "7-12@3:1 <b <i>\n" +
                  longTag +
                  "stray@4:2 quote\n"
                  "629-645@4:2 <q a\"b=c'd e=f\"g>\n"
                  "stray@5:1 no closing\n");
}

// What a browser reads as valid HTML gives no syntax error line, and tags inside the text of
// scripts, styles and comments are no tags.
TEST(TagScanner, ValidPagesGiveNoErrorsAndRawTextHidesTags) {
    CLinkSite site;
    site.Write("index.html",
               "<a title=\"<-\" href=\"x.htm\">A -> B\n"                              // 1
               "<a href='y.htm'><a href=z.htm><a hreflang=\"en\" href=\"w.htm\">\n"   // 2
               "<input disabled><a href><A HREF = \"Page.HTM\">\n"                    // 3
               "<script>if (a < b && c > d) x = \"<a href='no1.htm'>\";</script >\n"  // 4
               "<SCRIPT src=\"app.js\"></SCRIPT><textarea><a href=\"no2.htm\"></textarea>\n"
               "<title>1 < 2 <a href=\"no3.htm\"></title/><a href=\"v.htm\">\n"  // 6
               "<!doctype html><? pi > ?><! bogus <a href=\"no4.htm\"> 3 < 4 <5\n"
               "</ <a href=\"no5.htm\"> x</>y<a href=\"u.htm\">\n"  // 8
               "<iframe src=\"f.htm\"><a href=\"no6.htm\"></scripts></iframe\n>\n"
               "<xmp></xm></xmp><a href=\"t.htm\"><plaintext></plaintext><a href=\"no7.htm\">\n");
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Status(), "");
    EXPECT_EQ(site.Links("index.html"),
              "1 L x.htm\n"
              "2 L y.htm\n"
              "2 L z.htm\n"
              "2 L w.htm\n"
              "3 L Page.HTM\n"
              "5 L app.js\n"
              "6 L v.htm\n"
              "8 L u.htm\n"
              "9 L f.htm\n"
              "11 L t.htm\n");
    const auto& tags = *site.Html("index.html").m_pTags;
    EXPECT_EQ(tags[1].m_nQuote, LinkQuote::Single);
    EXPECT_EQ(tags[2].m_nQuote, LinkQuote::None);
    EXPECT_EQ(tags[3].m_nQuote, LinkQuote::Double);
}

// Images with long alt texts: a tag is examined whatever its length up to the bound, also
// when it is longer than the scanner's reads and its link stands after the long text.
TEST(TagScanner, TagsOfAnyLengthUpToTheBoundAreExamined) {
    static_assert(kMaxTagLength >= (size_t(1) << 20));
    auto tagOf = [](size_t length, const std::string& target, bool altFirst) {
        const std::string src = "src=\"" + target + "\"";
        const std::string head = altFirst ? "<img alt=\"" : "<img " + src + " alt=\"";
        const std::string tail = altFirst ? "\" " + src + ">" : "\">";
        return head + std::string(length - head.size() - tail.size(), 'x') + tail;
    };
    ASSERT_EQ(tagOf(513, "a.gif", false).size(), 513u);
    CLinkSite site;
    site.Write("index.html",
               "<html>\n" + tagOf(513, "a.gif", false) + "\n" + tagOf(200000, "b.gif", true) +
                   "\n" + tagOf(kMaxTagLength, "c.gif", true) + "\n" +
                   tagOf(kMaxTagLength + 1, "d.gif", false) + "\n<img src=\"e.gif\">\n</html>\n");
    for (const char* image : {"a.gif", "b.gif", "c.gif", "d.gif", "e.gif"})
        site.Write(image, "GIF89a");
    // A skipped tag is reported but is no syntax error.
    EXPECT_EQ(site.Parse(), 0);
    EXPECT_EQ(site.Status(), Format("line    5%26s%s    tag > 512 characters, being skipped.\n", "",
                                    site.Path("index.html").c_str()));
    EXPECT_EQ(site.Links("index.html"), "2 L -> a.gif\n3 L -> b.gif\n4 L -> c.gif\n6 L -> e.gif\n");
}

TEST(TagScanner, LinesCountTheSameWithEveryLineEnd) {
    const std::string page =
        "<html>|<a href=\"one.htm\">|<a href=\"two.htm\"||<img src=\"three.gif\">|stray > here|"
        "<img srcset=\"a.gif 1x,|b.gif 2x\"><style>|p{background:url(c.gif)}</style>|";
    for (const char* end : {"\n", "\r\n", "\r"}) {
        CLinkSite site;
        std::string text;
        for (char c : page)
            text += c == '|' ? std::string(end) : std::string(1, c);
        site.Write("index.html", text);
        EXPECT_EQ(site.Parse(), 1);
        std::string path = site.Path("index.html");
        EXPECT_EQ(site.Status(), SyntaxLine(3, path, kNoClosing))
            << "line end " << int(end[0]) << int(end[1]);
        EXPECT_EQ(site.Links("index.html"),
                  "2 L one.htm\n3 L two.htm\n7 L a.gif\n8 L b.gif\n9 L c.gif\n");
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
        EXPECT_EQ(site.Errors(),
                  ErrorLine(site.Path("index.html"), "open failed: Input/output error"));
    }
}

namespace {

// The line-end table of a whole text, built block by block as the line-end rules say.
std::vector<uint64_t> LineEnds(const std::string& data) {
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
    return table;
}

bool Letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The scanner in its plainest form, byte by byte over the whole text held at once: the
// reference the streaming scanner must match. Events are written as the test's recorder does.
std::string Reference(const std::string& d) {
    std::vector<uint64_t> table = LineEnds(d);
    auto lineOf = [&](uint64_t o) {
        return static_cast<int>(std::upper_bound(table.begin(), table.end(), o) - table.begin()) +
               1;
    };
    auto at = [&](size_t i) { return i < d.size() ? d[i] : '\0'; };
    std::string out, style;
    size_t i = 0;
    auto endOfRaw = [&](size_t from, const std::string& name) {
        for (size_t k = d.find('<', from); k != std::string::npos; k = d.find('<', k + 1)) {
            if (at(k + 1) != '/' || k + 2 + name.size() >= d.size()) continue;
            std::string n = ToLower(d.substr(k + 2, name.size()));
            char c = d[k + 2 + name.size()];
            if (n == name && (c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r' ||
                              c == '/' || c == '>'))
                return k;
        }
        return d.size();
    };
    while (i < d.size()) {
        size_t lt = d.find('<', i);
        if (lt == std::string::npos) break;
        char c1 = at(lt + 1), c2 = at(lt + 2);
        i = lt + 1;
        if (c1 == '!' && c2 == '-' && at(lt + 3) == '-') {
            size_t e = lt + 2;
            while ((e = d.find('>', e + 1)) != std::string::npos)
                if (d.compare(e - 2, 2, "--") == 0 ||
                    (e - 3 >= lt + 2 && d.compare(e - 3, 3, "--!") == 0))
                    break;
            i = e == std::string::npos ? d.size() : e + 1;
            continue;
        }
        if (c1 == '/' && c2 == '>') {
            i = lt + 3;
            continue;
        }
        if (c1 == '!' || c1 == '?' || (c1 == '/' && !Letter(c2) && lt + 2 < d.size())) {
            size_t e = d.find('>', lt + 2);
            i = e == std::string::npos ? d.size() : e + 1;
            continue;
        }
        if (!Letter(c1) && !(c1 == '/' && Letter(c2))) continue;
        bool endTag = c1 == '/';
        TagState st = TagState::Name;
        size_t k = lt + (endTag ? 2 : 1);
        std::string name;
        int line = lineOf(lt);
        bool quote = false;
        for (; k < d.size() && st != TagState::Done; ++k) {
            bool quoted = st == TagState::ValueDouble || st == TagState::ValueSingle;
            if (d[k] == '<' && !quoted && !endTag) out += Format("stray@%d no closing\n", line);
            TagState next = NextTagState(st, d[k]);
            if ((d[k] == '"' || d[k] == '\'') && !endTag && !quote &&
                (next == TagState::AttrName || next == TagState::ValueUnquoted)) {
                out += Format("stray@%d quote\n", line);
                quote = true;
            }
            if (st == TagState::Name && next == TagState::Name) name += d[k];
            st = next;
        }
        if (st != TagState::Done) {
            out += Format("stray@%d no closing\n", line);
            break;
        }
        size_t gt = k - 1;
        std::string text = d.substr(lt, gt - lt + 1);
        out += Format("%d-%d@%d ", static_cast<int>(lt), static_cast<int>(gt), line) +
               (text.size() > kMaxTagLength ? std::string("long") : text) + "\n";
        i = gt + 1;
        name = ToLower(name);
        if (endTag) continue;
        if (name == "plaintext") break;
        for (const char* raw :
             {"script", "style", "xmp", "iframe", "noembed", "noframes", "textarea", "title"}) {
            if (name != raw) continue;
            size_t e = endOfRaw(i, name);
            if (name == "style" && e > i)
                style += Format("css@%d ", static_cast<int>(i)) + d.substr(i, e - i) + "\n";
            i = e;
        }
    }
    return out + style;
}

// What the streaming scanner reports, style text joined where its pieces follow each other.
class CRecorder : public CScanEvents {
public:
    void Tag(const CHtmlNode::CTag& tag, std::string_view text, bool tooLong) override {
        out += Format("%d-%d@%d ", static_cast<int>(tag.m_nStart), static_cast<int>(tag.m_nEnd),
                      tag.m_nLine) +
               (tooLong ? std::string("long") : std::string(text)) + "\n";
    }
    void Stray(int line, int, StrayDelimiter stray) override {
        out += Format("stray@%d ", line) +
               (stray == StrayDelimiter::Quote ? "quote\n" : "no closing\n");
    }
    void StyleText(const char* p, size_t n, uint64_t offset) override {
        if (offset != m_nStyleEnd || style.empty())
            style += (style.empty() ? "" : "\n") + Format("css@%d ", static_cast<int>(offset));
        style.append(p, n);
        m_nStyleEnd = offset + n;
    }
    void StyleEnd() override { m_nStyleEnd = UINT64_MAX; }
    std::string All() const { return out + style + (style.empty() ? "" : "\n"); }

    std::string out, style;

private:
    uint64_t m_nStyleEnd = UINT64_MAX;
};

}  // namespace

// Random pages of every delimiter, quote, raw-text element, line end, NUL and long run, some
// longer than several reads: the streaming scanner finds what a plain scan of the whole text
// finds.
TEST(TagScanner, MatchesAPlainScanOfRandomPages) {
    std::mt19937 random(11);
    const std::vector<std::string> pieces = {"<",
                                             ">",
                                             "<!--",
                                             "-->",
                                             "--",
                                             "-",
                                             "!",
                                             "?",
                                             "/",
                                             "\n",
                                             "\r",
                                             "\r\n",
                                             std::string(1, '\0'),
                                             "x",
                                             " ",
                                             "=",
                                             "\"",
                                             "'",
                                             "<a href=\"u1.htm\">",
                                             "<a href='u2.htm'>",
                                             "<script>",
                                             "</script>",
                                             "<style>",
                                             "</STYLE>",
                                             "</",
                                             "<!",
                                             "<title>",
                                             "</title",
                                             std::string(300, 'y')};
    for (int round = 0; round < 80; ++round) {
        std::string data;
        size_t target = random() % 3 == 0 ? 140000 : 3000;
        while (data.size() < target) {
            if (random() % 400 == 0)
                data += std::string(70000, 'z');
            else
                data += pieces[random() % pieces.size()];
        }
        CTempDir dir;
        std::string path = dir.Write("p.html", data);
        std::unique_ptr<CFile> file = RealFileSystem().OpenRead(path);
        ASSERT_TRUE(file);
        CRecorder rec;
        EXPECT_TRUE(ScanTags(*file, rec));
        EXPECT_EQ(rec.All(), Reference(data)) << "round " << round;
    }
}

}  // namespace ts::test
