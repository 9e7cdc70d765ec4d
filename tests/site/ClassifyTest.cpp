// What an entry is: text or binary by its first block (with UTF-8 text allowed), its line
// ends, and the HTML and Web media kinds by extension.
#include <gtest/gtest.h>

#include "base/RunSettings.h"
#include "html/HtmlNode.h"
#include "site/SiteCapture.h"
#include "support/FaultyFileSystem.h"
#include "support/MakeNode.h"

namespace ts::test {
namespace {

class ClassifyTest : public ::testing::Test {
protected:
    // The type a run's scan gives the file (an HTML node classifies Web kinds too).
    int TypeOf(const std::string& name, const std::string& content) {
        CHtmlNode node = test::MakeNode<CHtmlNode>(cap.ctx, site.Write(name, content));
        return node.m_nType;
    }
    int LineEndOf(const std::string& content) {
        CFileNode node = test::MakeNode<CFileNode>(cap.ctx, site.Write("t.txt", content));
        EXPECT_EQ(node.m_nType, FT_TEXT);
        EXPECT_EQ(node.m_nOrigLineEnd, node.m_nLineEnd);
        return node.m_nLineEnd;
    }

    CTempDir site;
    CSiteCapture cap;
};

// Bytes of a literal that may hold NULs.
template <size_t N>
std::string Bytes(const char (&s)[N]) {
    return std::string(s, N - 1);
}

const std::string kJpeg = Bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01");
const std::string kPng = Bytes("\x89PNG\r\n\x1A\n\x00\x00\x00\x0DIHDR");
const std::string kGif = Bytes("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF");

}  // namespace

TEST_F(ClassifyTest, Utf8TextIsTextAndEverythingElseHighIsBinary) {
    EXPECT_EQ(
        TypeOf("accents.html", "<p>Caf\xC3\xA9 na\xC3\xAFve \xE2\x82\xAC 5 \xF0\x9F\x98\x80</p>\n"),
        FT_HTML);
    EXPECT_EQ(TypeOf("bom.htm", "\xEF\xBB\xBF<html></html>\r\n"), FT_HTML);
    // A character cut by the end of the first block is still text.
    EXPECT_EQ(TypeOf("cut2.htm", std::string(511, 'a') + "\xC3\xA9 more"), FT_HTML);
    EXPECT_EQ(TypeOf("cut3.htm", std::string(510, 'a') + "\xE2\x82\xAC more"), FT_HTML);
    // High bytes only after the first block do not count.
    EXPECT_EQ(TypeOf("late.txt", std::string(512, 'a') + "\xFF\xFE\x80"), FT_TEXT);

    // A page in an 8-bit encoding is a page (its links are read); any other file with such
    // bytes stays binary, and so does anything with NUL or other control bytes.
    EXPECT_EQ(TypeOf("latin1.htm", "caf\xE9 au lait\n"), FT_HTML);
    EXPECT_EQ(TypeOf("sjis.html", "<p>\x93\xFA\x96\x7B</p>\r\n"), FT_HTML);
    EXPECT_EQ(TypeOf("latin1.txt", "caf\xE9 au lait\n"), FT_BINARY);
    EXPECT_EQ(TypeOf("surrogate.txt",
                     "a\xED\xA0\x80"
                     "b"),
              FT_BINARY);
    EXPECT_EQ(TypeOf("ctrl.htm", Bytes("a\x80\x01"
                                       "b")),
              FT_BINARY);
    EXPECT_EQ(TypeOf("nul.htm", Bytes("a\xE9\0b")), FT_BINARY);
    EXPECT_EQ(TypeOf("utf16le.htm", Bytes("\xFF\xFE<\0h\0t\0m\0l\0>\0")), FT_BINARY);
    EXPECT_EQ(TypeOf("utf16be.htm", Bytes("\xFE\xFF\0<\0h\0t\0m\0l\0>")), FT_BINARY);
    EXPECT_EQ(TypeOf("anim.gif", kGif), FT_BINARY);
    EXPECT_EQ(TypeOf("archive.zip", Bytes("PK\x03\x04\x14\x00\x00\x00\x08\x00\xB7\x9C")),
              FT_BINARY);
}

TEST_F(ClassifyTest, WebKindsByExtensionOnTheRightKindOfFile) {
    EXPECT_EQ(TypeOf("photo.jpg", kJpeg), FT_JPEG);
    EXPECT_EQ(TypeOf("photo.JPEG", kJpeg), FT_JPEG);
    EXPECT_EQ(TypeOf("logo.png", kPng), FT_PNG);
    EXPECT_EQ(TypeOf("logo.ping", kPng), FT_PNG);
    EXPECT_EQ(TypeOf("clip.mpeg", Bytes("\x00\x00\x01\xBA\x44\x00")), FT_MPEG);
    EXPECT_EQ(TypeOf("clip.Mpg", Bytes("\x00\x00\x01\xB3\xA0\x00")), FT_MPEG);
    EXPECT_EQ(TypeOf("song.aiff", Bytes("FORM\x00\x00\x10\x00"
                                        "AIFFCOMM\x80")),
              FT_AIFF);
    EXPECT_EQ(TypeOf("song.aif", Bytes("FORM\xFF")), FT_AIFF);

    EXPECT_EQ(TypeOf("index.HTML", "<html>\n"), FT_HTML);
    EXPECT_EQ(TypeOf("archive.tar.html", "<html>\n"), FT_HTML);
    EXPECT_EQ(TypeOf("page.html.bak", "<html>\n"), FT_TEXT);
    EXPECT_EQ(TypeOf("html", "<html>\n"), FT_TEXT);
    EXPECT_EQ(TypeOf("notes.txt", "plain\n"), FT_TEXT);
    // A text file with a picture's name stays text; a binary page stays binary.
    EXPECT_EQ(TypeOf("data.jpg", "just some text\n"), FT_TEXT);
    EXPECT_EQ(TypeOf("broken.html", kJpeg), FT_BINARY);
    EXPECT_EQ(TypeOf("empty.htm", ""), FT_UNKNOWN);
    EXPECT_EQ(TypeOf("empty.jpg", ""), FT_UNKNOWN);

    site.Mkdir("pictures.jpeg");
    CHtmlNode dir = test::MakeNode<CHtmlNode>(cap.ctx, site / "pictures.jpeg");
    EXPECT_EQ(dir.m_nType, FT_DIRECTORY);
    // A plain node never gives the Web kinds.
    CFileNode plain = test::MakeNode<CFileNode>(cap.ctx, site / "index.HTML");
    EXPECT_EQ(plain.m_nType, FT_TEXT);

    CHtmlNode missing = test::MakeNode<CHtmlNode>(cap.ctx, site / "missing.htm");
    EXPECT_FALSE(missing.m_bExists);
    EXPECT_EQ(missing.m_nType, FT_UNKNOWN);
    EXPECT_EQ(missing.m_dwAttributes, FA_MISSING);
    EXPECT_EQ(cap.Errors(), "");
}

TEST_F(ClassifyTest, LineEndsFromTheFirstLineEndOfTheFirstBlock) {
    EXPECT_EQ(LineEndOf("one\ntwo\r\n"), LE_UNIX);
    EXPECT_EQ(LineEndOf("one\r\ntwo\n"), LE_DOS);
    EXPECT_EQ(LineEndOf("one\rtwo\r\n"), LE_MAC);
    EXPECT_EQ(LineEndOf("ends in cr\r"), LE_MAC);
    EXPECT_EQ(LineEndOf("no line end at all"), LE_DOS);
    // CR is byte 512 and LF byte 513: the LF is not in the block.
    EXPECT_EQ(LineEndOf(std::string(511, 'x') + "\r\nrest\r\n"), LE_MAC);
    EXPECT_EQ(LineEndOf(std::string(510, 'x') + "\r\nrest\n"), LE_DOS);
    EXPECT_EQ(LineEndOf(std::string(512, 'x') + "\n"), LE_DOS);
}

TEST(ClassifyFailures, OpenAndReadFailuresAreReportedOnceAndLeaveTypeZero) {
    CTempDir site;
    std::string secret = site.Write("secret.htm", "<html>\n");
    std::string longName = site.Write("a-rather-long-file-name-for-the-column.txt", "text\n");
    for (Op op : {Op::OpenRead, Op::Read}) {
        CFaultyFileSystem fs;
        CSiteCapture cap(fs);
        fs.FailOn(op, 1, "secret");
        fs.FailOn(op == Op::OpenRead ? Op::Read : Op::OpenRead, 1, "long-file");
        CHtmlNode a = test::MakeNode<CHtmlNode>(cap.ctx, secret);
        CHtmlNode b = test::MakeNode<CHtmlNode>(cap.ctx, longName);
        EXPECT_TRUE(a.m_bExists);
        EXPECT_EQ(a.m_nType, FT_UNKNOWN);
        EXPECT_EQ(b.m_nType, FT_UNKNOWN);
        // Each line names the cause the failed call gave.
        std::string first = op == Op::OpenRead ? "open failed" : "read failed";
        std::string second = op == Op::OpenRead ? "read failed" : "open failed";
        first += ": Input/output error";
        second += ": Input/output error";
        // The path fills a column of 36 characters; a longer one is not cut.
        ASSERT_LT(secret.size(), 36u);
        ASSERT_GT(longName.size(), 36u);
        EXPECT_EQ(cap.Errors(), secret + std::string(36 - secret.size(), ' ') + "    " + first +
                                    "\n" + longName + "    " + second + "\n");
    }
}

}  // namespace ts::test
