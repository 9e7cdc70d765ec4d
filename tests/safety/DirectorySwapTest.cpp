// A directory moved away and replaced by a symbolic link while the verification list waits, a
// file replaced by another one, and the top directory itself swapped: the run changes nothing
// outside the site and nothing it did not scan, says which entries it left alone, and never
// calls the run clean.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const char kSubPage[] = "<a href=\"Page Two.html\">two</a>\r\n";

// A site whose subdirectory holds pages to rename, rewrite and convert, beside a directory of
// someone else's files with the same names.
struct CSwapSite {
    CSwapSite() {
        site = root.Mkdir("site");
        outside = root.Mkdir("outside");
        root.Write("site/index.html",
                   "<a href=\"sub/Page One.html\">one</a> <a href=\"Other Page.html\">o</a>\r\n");
        root.Write("site/Other Page.html", "<p>other</p>\r\n");
        for (const std::string& dir : {std::string("site/sub"), std::string("outside")}) {
            root.Write(dir + "/Page One.html", kSubPage);
            root.Write(dir + "/Page Two.html", "<p>two</p>\r\n");
            root.Write(dir + "/notes file.txt", "a\r\nb\r\n");
        }
        outsideBefore = TreeListing(outside, true);
    }

    RunSettings Settings() const {
        RunSettings s = DefaultSettings(site, site + "/index.html");
        s.Target = TFS_DOS_FAT;
        s.Rename = true;
        s.LineEnd = LE_UNIX;
        s.DeriveUpdateLinks();
        return s;
    }

    CTempDir root, tmp;
    std::string site, outside, outsideBefore;
};

void Move(const std::string& from, const std::string& to) {
    ASSERT_EQ(std::rename(from.c_str(), to.c_str()), 0) << from;
}

}  // namespace

TEST(DirectorySwap, ADirectoryOrFileReplacedDuringTheRunIsLeftAloneAndNothingOutsideChanges) {
    CSwapSite s;
    std::string movedBefore;
    CScriptedUi ui;
    ui.settings = s.Settings();
    ui.verifyFilenames = [&](CVerifyNameList&) {
        Move(s.site + "/sub", s.site + "/sub.moved");
        EXPECT_EQ(::symlink("../outside", (s.site + "/sub").c_str()), 0);
        movedBefore = TreeListing(s.site + "/sub.moved", true);
        // Another file under a scanned name.
        Move(s.site + "/Other Page.html", s.root / "kept.html");
        s.root.Write("site/Other Page.html", "<p>new</p>\r\n");
        return VerifyChoices{true, {}};
    };
    auto doc = MakeDoc(RealFileSystem(), ui, s.tmp.Path());
    doc->CheckDirectory();
    const std::string report = Lf(ui.viewText);

    EXPECT_EQ(TreeListing(s.outside, true), s.outsideBefore);
    EXPECT_EQ(TreeListing(s.site + "/sub.moved", true), movedBefore);
    EXPECT_EQ(ReadFile(s.site + "/Other Page.html"), "<p>new</p>\r\n");
    // The home page itself was still the one scanned: renamed and converted, its links still
    // leading to the names the pages left alone have.
    EXPECT_EQ(ReadFile(s.site + "/INDEX.HTM"),
              "<a href=\"sub/Page%20One.html\">one</a> <a href=\"Other%20Page.html\">o</a>\n");
    const std::string leftAlone = "    moved or replaced since the scan, left unchanged";
    EXPECT_NE(report.find(PadRight(s.site + "/sub", 36) + leftAlone), std::string::npos) << report;
    EXPECT_NE(report.find(PadRight(s.site + "/Other Page.html", 36) + leftAlone), std::string::npos)
        << report;
    EXPECT_NE(report.find("entries could not be renamed."), std::string::npos) << report;
    EXPECT_EQ(report.find("This site looks totally clean!"), std::string::npos) << report;

    // Undo puts back what the run changed and still reaches nothing behind the link.
    doc->UndoLast();
    EXPECT_EQ(TreeListing(s.outside, true), s.outsideBefore);
    EXPECT_EQ(ReadFile(s.site + "/index.html"),
              "<a href=\"sub/Page One.html\">one</a> <a href=\"Other Page.html\">o</a>\r\n");
    EXPECT_EQ(TreeListing(s.site + "/sub.moved", true), movedBefore);
}

TEST(DirectorySwap, TheTopDirectoryReplacedByALinkIsNeverWrittenThrough) {
    CSwapSite s;
    CScriptedUi ui;
    ui.settings = s.Settings();
    std::string movedBefore;
    ui.verifyFilenames = [&](CVerifyNameList&) {
        Move(s.site, s.root / "site.moved");
        EXPECT_EQ(::symlink("outside", s.site.c_str()), 0);
        movedBefore = TreeListing(s.root / "site.moved", true);
        return VerifyChoices{true, {}};
    };
    auto doc = MakeDoc(RealFileSystem(), ui, s.tmp.Path());
    doc->CheckDirectory();
    const std::string report = Lf(ui.viewText);

    EXPECT_EQ(TreeListing(s.outside, true), s.outsideBefore);
    EXPECT_EQ(TreeListing(s.root / "site.moved", true), movedBefore);
    EXPECT_NE(report.find(PadRight(s.site, 36) + "    moved or replaced since the scan, left "
                                                 "unchanged"),
              std::string::npos)
        << report;
    EXPECT_EQ(report.find("This site looks totally clean!"), std::string::npos) << report;
}

}  // namespace ts::test
