// The files the program writes into a site (the rename logs and the external-URL page) never
// reach a file outside the site through a hard or symbolic link, and an earlier run's log is
// never emptied or deleted.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/CliRunner.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const char kPage[] = "<a href=\"My Page.html\">me</a> <a href=\"http://example.com/\">out</a>\n";

// A site beside a directory of someone else's files that the site's own files are linked to.
struct CLinkedSite {
    CLinkedSite() {
        site = root.Mkdir("site");
        outside = root.Mkdir("outside");
        root.Write("site/index.html", kPage);
        root.Write("site/My Page.html", "<p>me</p>\n");
        root.Write("site/sub/Other Page.html", "<p>other</p>\n");
        root.Write("outside/log.txt", "someone's notes\n");
        root.Write("outside/page.htm", "someone's page\n");
        root.Write("outside/linked.txt", "reached through a symbolic link\n");
        EXPECT_EQ(::link((outside + "/log.txt").c_str(), (site + "/RENAME.LOG").c_str()), 0);
        EXPECT_EQ(::link((outside + "/page.htm").c_str(),
                         (site + "/report_of_external_refs.htm").c_str()),
                  0);
        EXPECT_EQ(::symlink("../../outside/linked.txt", (site + "/sub/RENAME.LOG").c_str()), 0);
        before = TreeListing(outside, true);
    }
    CTempDir root;
    std::string site, outside, before;
};

}  // namespace

TEST(OwnFilesSafety, HardAndSymbolicLinksNamedLikeTheProgramsFilesAreNeverWrittenThrough) {
    CLinkedSite s;
    // A plain check writes the external-URL page.
    CliResult r = RunCliWith({"--home", "index.html", s.site}, "", false);
    EXPECT_EQ(TreeListing(s.outside, true), s.before);
    const std::string page = ReadFile(s.site + "/report_of_external_refs.htm");
    EXPECT_NE(page.find("http://example.com/"), std::string::npos);
    EXPECT_NE(r.out.find("This file is named: \"" + s.site + "/report_of_external_refs.htm\""),
              std::string::npos)
        << r.out;

    // Renames with logs: the top directory's log keeps the lines it had and gets the new ones;
    // the log that is a symbolic link is left as it is, and the run says it has no log there.
    r = RunCliWith(
        {"--target", "dos", "--rename", "--logs", "--yes", "--home", "index.html", s.site}, "",
        false);
    EXPECT_EQ(TreeListing(s.outside, true), s.before);
    const std::string log = ReadFile(s.site + "/RENAME.LOG");
    EXPECT_TRUE(log.starts_with("someone's notes\n")) << log;
    EXPECT_NE(log.find("MYPAGE.HTM"), std::string::npos) << log;
    EXPECT_NE(log.find(s.site + "/My Page.html"), std::string::npos) << log;
    char target[256] = {};
    ASSERT_GT(::readlink((s.site + "/SUB/RENAME.LOG").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "../../outside/linked.txt");
    EXPECT_NE(r.err.find(s.site + "/SUB"), std::string::npos) << r.err;
    // The pages follow the renames; the page of external URLs is written again.
    EXPECT_NE(ReadFile(s.site + "/INDEX.HTM").find("MYPAGE.HTM"), std::string::npos);
    EXPECT_NE(ReadFile(s.site + "/report_of_external_refs.htm").find("http://example.com/"),
              std::string::npos);
}

// Renames that the user declines change no log; a log is made only where something was renamed,
// and earlier lines always stay first.
TEST(OwnFilesSafety, EarlierLogsSurviveDeclinedRenamesAndGetTheNewLinesAfterTheirOwn) {
    CTempDir site;
    site.Write("a b.htm", "1");
    site.Write("RENAME.LOG", "earlier top\r\n");
    site.Write("DONE/RENAME.LOG", "earlier below\r\n");
    site.Write("DONE/OK.HTM", "2");
    site.Write("FRESH/c d.htm", "3");
    const std::string before = TreeListing(site.Path(), true);

    CliResult r = RunCliWith({"--target", "dos", "--rename", "--logs", "--no-links", site.Path()},
                             "n\n", true);
    EXPECT_EQ(TreeListing(site.Path(), true), before) << r.err;

    r = RunCliWith({"--target", "dos", "--rename", "--logs", "--no-links", site.Path()}, "y\n",
                   true);
    EXPECT_EQ(r.code, 0) << r.err;
    const std::string top = ReadFile(site / "RENAME.LOG");
    EXPECT_TRUE(top.starts_with("earlier top\r\nAB.HTM ")) << top;
    EXPECT_NE(top.find(site / "a b.htm" + "\r\n"), std::string::npos) << top;
    EXPECT_EQ(ReadFile(site / "DONE/RENAME.LOG"), "earlier below\r\n");
    EXPECT_TRUE(ReadFile(site / "FRESH/RENAME.LOG").starts_with("CD.HTM ")) << r.err;
}

// With the temporary directory inside the site, it and the run's own reports in it are not
// site files: nothing there is renamed, listed or left behind.
TEST(OwnFilesSafety, ATemporaryDirectoryInsideTheSiteIsLeftOut) {
    CTempDir site;
    site.Write("index.html", "<p>home</p>\n");
    CScriptedUi ui;
    ui.settings = DefaultSettings(site.Path(), site / "index.html");
    ui.settings.Target = TFS_DOS_FAT;
    ui.settings.Rename = true;
    ui.settings.DeriveUpdateLinks();
    auto doc = MakeDoc(RealFileSystem(), ui, site.Mkdir("tmp"));
    doc->CheckDirectory();
    EXPECT_EQ(TreeListing(site.Path(), false), "INDEX.HTM\nreport_of_external_refs.htm\ntmp/\n")
        << ui.viewText;
    EXPECT_EQ(ui.viewText.find("ts_"), std::string::npos) << ui.viewText;
}

}  // namespace ts::test
