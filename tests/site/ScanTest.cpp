// The directory scan: sorted entries, counts, the site map, the entries it skips and the
// failures it survives; and the pre-order walk over the result.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "base/Strings.h"
#include "platform/Text.h"
#include "site/DirXpNode.h"
#include "site/SiteCapture.h"
#include "support/FaultyFileSystem.h"
#include "support/MakeNode.h"

namespace ts::test {
namespace {

std::string Names(const CDirNode& dir) {
    std::string out;
    for (const auto& c : dir.Children())
        out += c->Name() + (c->IsDirNode() ? "/ " : " ");
    return out;
}

void MakeSocket(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
}

std::string SkipLine(const std::string& path, const std::string& word) {
    return PadRight(path, 36) + "    " + word + " file was skipped\n";
}

}  // namespace

TEST(Scan, SortsIgnoringCaseAndCountsTheWholeTree) {
    CTempDir site;
    site.Write("b.htm", "b\n");
    site.Write("A.htm", "a\n");
    site.Write("c.htm", "c\n");
    site.Write("X.txt", "upper\n");
    site.Write("x.txt", "lower\n");
    site.Write("img/one.gif", "1");
    site.Write("img/two.gif", "2");
    site.Write("docs/deep/more/leaf.txt", "leaf\n");
    site.Mkdir("empty");

    CSiteCapture cap;
    CDirXpNode top = test::MakeRunDir(cap.ctx, site.Path());
    ASSERT_EQ(top.Scan(true, nullptr, false), 13);
    // Of two names equal but for case, the one the listing gives later comes first.
    EXPECT_EQ(Names(top), "A.htm b.htm c.htm docs/ empty/ img/ x.txt X.txt ");
    EXPECT_EQ(top.m_nEntries, 13);
    EXPECT_EQ(top.m_nDirs, 5);
    auto* docs = static_cast<CDirNode*>(top.Children()[3].get());
    EXPECT_EQ(docs->m_nEntries, 3);
    EXPECT_EQ(docs->m_nDirs, 2);
    EXPECT_EQ(docs->m_pParent, &top);
    EXPECT_EQ(top.Children()[4]->m_nType, FT_DIRECTORY);

    // The map holds every entry under its upper-cased path, and not the top directory. Names
    // equal but for case share a key: the one listed later answers for both.
    EXPECT_EQ(top.SiteMap().Map().size(), 12u);
    EXPECT_EQ(top.SiteMap().Lookup(site / "X.txt")->Name(), "x.txt");
    EXPECT_EQ(top.SiteMap().Map().count(ToUpper(site.Path())), 0u);
    CFileNode* leaf = top.SiteMap().Map().at(ToUpper(site / "docs/deep/more/leaf.txt"));
    EXPECT_EQ(leaf->m_strPath, site / "docs/deep/more/leaf.txt");
    EXPECT_EQ(top.SiteMap().Lookup(site / "IMG/One.GIF")->Name(), "one.gif");
    EXPECT_EQ(cap.Errors(), "");

    // The walk: pre-order, each directory followed at once by its subtree.
    std::string order;
    int n = top.ForEach(
        [&](CFileNode& node, bool&) {
            order += node.m_strPath.substr(std::min(node.m_strPath.size(), site.Path().size()));
            order += ' ';
            return node.m_nType > 0 ? 1 : 0;
        },
        "Walking");
    EXPECT_EQ(order,
              " /A.htm /b.htm /c.htm /docs /docs/deep /docs/deep/more /docs/deep/more/leaf.txt "
              "/empty /img /img/one.gif /img/two.gif /x.txt /X.txt ");
    EXPECT_EQ(n, 8);  // the three pages and five text files
    EXPECT_EQ(cap.ui.captions.back(), "Walking");

    // Without subdirectories, they are entries and directories without children.
    CSiteCapture flat;
    CDirXpNode top2 = test::MakeRunDir(flat.ctx, site.Path());
    ASSERT_EQ(top2.Scan(false, nullptr, false), 8);
    EXPECT_EQ(top2.m_nDirs, 3);
    auto* img = static_cast<CDirNode*>(top2.Children()[5].get());
    EXPECT_FALSE(img->Scanned());
    EXPECT_TRUE(img->Children().empty());
    EXPECT_EQ(top2.SiteMap().Lookup(site / "img/one.gif"), nullptr);
    EXPECT_NE(top2.SiteMap().Lookup(site / "img"), nullptr);

    // The map dies with the node that made it; the next top node makes a new one.
    CSiteCapture again;
    {
        CDirXpNode t = test::MakeRunDir(again.ctx, site.Path());
        t.Scan(true, nullptr, false);
        EXPECT_FALSE(t.SiteMap().Map().empty());
    }
    CDirXpNode t2 = test::MakeRunDir(again.ctx, site.Path());
    EXPECT_EQ(t2.Scan(false, nullptr, false), 8);
    EXPECT_EQ(t2.SiteMap().Map().size(), 7u);
}

TEST(Scan, SpecialEntriesAreSkippedNeverFollowedAndNoted) {
    CTempDir site;
    site.Write("index.htm", "<html>\n");
    site.Write(".hidden", "secret\n");
    site.Write(".git/config", "[core]\n");
    site.Write("shared/lib.js", "x\n");
    ASSERT_EQ(::mkfifo((site / "fifo").c_str(), 0644), 0);
    MakeSocket(site / "sock");
    ASSERT_EQ(::symlink("nowhere", (site / "dangling").c_str()), 0);
    ASSERT_EQ(::symlink("shared", (site / "todir").c_str()), 0);
    ASSERT_EQ(::symlink(".", (site / "shared/self").c_str()), 0);  // a loop
    ASSERT_EQ(::symlink("loop", (site / "loop").c_str()), 0);
    ASSERT_EQ(::symlink("index.htm", (site / "linked.htm").c_str()), 0);

    for (bool notify : {false, true}) {
        CSiteCapture cap;
        CDirXpNode top = test::MakeRunDir(cap.ctx, site.Path());
        ASSERT_EQ(top.Scan(true, nullptr, notify), 4);
        EXPECT_EQ(Names(top), "index.htm linked.htm shared/ ");
        EXPECT_EQ(top.m_nDirs, 1);
        // A link to a file is an entry like a file, classified through the link.
        CFileNode* linked = top.SiteMap().Lookup(site / "linked.htm");
        ASSERT_NE(linked, nullptr);
        EXPECT_TRUE(linked->m_bLink);
        EXPECT_EQ(linked->m_nType, FT_HTML);
        EXPECT_EQ(cap.Errors(),
                  SkipLine(site / ".git", "hidden") + SkipLine(site / ".hidden", "hidden") +
                      SkipLine(site / "dangling", "system") + SkipLine(site / "fifo", "system") +
                      SkipLine(site / "loop", "system") + SkipLine(site / "shared/self", "system") +
                      SkipLine(site / "sock", "system") + SkipLine(site / "todir", "system"));
        if (!notify) {
            EXPECT_TRUE(cap.ui.messages.empty());
        } else {
            ASSERT_EQ(cap.ui.messages.size(), 8u);
            EXPECT_EQ(cap.ui.messages[0],
                      "File: \"" + (site / ".git") + "\"\nis a hidden file and will be skipped.");
            EXPECT_EQ(cap.ui.messages[2], "File: \"" + (site / "dangling") +
                                              "\"\nis a system file and will be skipped.");
        }
    }
}

TEST(Scan, OddNamesAndOverlongPaths) {
    CTempDir site;
    const std::string odd[] = {"with space.txt", "new\nline.txt", "bad\xFF\xFEname.txt",
                               "caf\xC3\xA9.htm"};
    for (const auto& n : odd)
        site.Write(n, "text\n");
    // The longest path the program takes is 259 bytes.
    size_t room = 259 - site.Path().size() - 1;
    std::string fits = site.Write(std::string(room - 4, 'f') + ".txt", "x\n");
    std::string tooLong = site.Write(std::string(room - 3, 'g') + ".txt", "x\n");
    std::string deepDir = site.Mkdir(std::string(room - 10, 'd'));
    std::string deepFile = site.Write(BaseName(deepDir) + "/inner-file.txt", "x\n");

    CSiteCapture cap;
    CDirXpNode top = test::MakeRunDir(cap.ctx, site.Path());
    ASSERT_EQ(top.Scan(true, nullptr, false), 6);
    for (const auto& n : odd) {
        CFileNode* node = top.SiteMap().Lookup(site / n);
        ASSERT_NE(node, nullptr) << n;
        EXPECT_EQ(node->Name(), n);
        EXPECT_EQ(node->m_nType, n.ends_with(".htm") ? FT_HTML : FT_TEXT);
    }
    EXPECT_EQ(top.SiteMap().Map().count(ToUpper(site / "bad\xFF\xFEname.txt")), 1u);
    EXPECT_EQ(top.SiteMap().Lookup(site / "CAF\xC3\x89.HTM")->Name(), "caf\xC3\xA9.htm");
    EXPECT_EQ(fits.size(), 259u);
    EXPECT_NE(top.SiteMap().Lookup(fits), nullptr);
    EXPECT_EQ(top.SiteMap().Lookup(tooLong), nullptr);
    EXPECT_NE(top.SiteMap().Lookup(deepDir), nullptr);
    EXPECT_EQ(top.SiteMap().Lookup(deepFile), nullptr);
    EXPECT_EQ(cap.Errors(), "Filename is too long: \"" + deepFile + "\"\nFilename is too long: \"" +
                                tooLong + "\"\n");
}

TEST(Scan, UnreadableEntriesAreReportedAndTheScanGoesOn) {
    CTempDir site;
    site.Write("a.txt", "a\n");
    site.Write("locked/inside.txt", "x\n");
    site.Write("secret.txt", "s\n");
    site.Write("broken.htm", "<html>\n");
    site.Write("z.txt", "z\n");
    CFaultyFileSystem fs;
    fs.FailOn(Op::ListDir, 1, "/locked");
    fs.FailOn(Op::OpenRead, 1, "/secret");
    fs.FailOn(Op::Read, 1, "/broken");
    CSiteCapture cap(fs);
    CDirXpNode top = test::MakeRunDir(cap.ctx, site.Path());
    ASSERT_EQ(top.Scan(true, nullptr, false), 5);
    EXPECT_EQ(Names(top), "a.txt broken.htm locked/ secret.txt z.txt ");
    EXPECT_EQ(top.SiteMap().Lookup(site / "secret.txt")->m_nType, FT_UNKNOWN);
    EXPECT_EQ(top.SiteMap().Lookup(site / "broken.htm")->m_nType, FT_UNKNOWN);
    EXPECT_EQ(top.SiteMap().Lookup(site / "z.txt")->m_nType, FT_TEXT);
    // Each line names the cause the failed call gave.
    const std::string cause = ": Input/output error\n";
    EXPECT_EQ(cap.Errors(), PadRight(site / "broken.htm", 36) + "    read failed" + cause +
                                PadRight(site / "locked", 36) + "    open failed" + cause +
                                PadRight(site / "secret.txt", 36) + "    open failed" + cause);
}

TEST(Scan, CancelStopsTheScanAndKeepsWhatWasFound) {
    CTempDir site;
    site.Write("a/1.txt", "1\n");
    site.Write("b/2.txt", "2\n");
    site.Write("c.txt", "c\n");
    CSiteCapture cap;
    cap.ui.cancelAfterDirectories = 2;  // the top directory, then "a"
    CDirXpNode top = test::MakeRunDir(cap.ctx, site.Path());
    EXPECT_EQ(top.Scan(true, nullptr, false), -1);
    EXPECT_EQ(Names(top), "a/ ");
    EXPECT_EQ(cap.ui.captions, std::vector<std::string>{"Scanning Files"});

    // A walk cancelled by its callback returns -1 as well.
    CSiteCapture cap2;
    CDirXpNode top2 = test::MakeRunDir(cap2.ctx, site.Path());
    ASSERT_EQ(top2.Scan(true, nullptr, false), 5);
    int seen = 0;
    EXPECT_EQ(top2.ForEach(
                  [&](CFileNode&, bool& cancel) {
                      cancel = ++seen == 3;
                      return 1;
                  },
                  "Walking"),
              -1);
    EXPECT_EQ(seen, 3);

    // An empty directory scans to nothing.
    CTempDir empty;
    CSiteCapture cap3;
    CDirXpNode none = test::MakeRunDir(cap3.ctx, empty.Path());
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(none.Scan(true, nullptr, false), 0);
    CDirXpNode missing = test::MakeRunDir(cap3.ctx, empty / "gone");
    EXPECT_EQ(missing.Scan(true, nullptr, false), 0);
}

}  // namespace ts::test
