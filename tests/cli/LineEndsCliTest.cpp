#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {

// On a terminal the files to convert are listed and numbers leave files out.
TEST(LineEndsCli, TerminalListsFilesAndLeavesNumberedOnesOut) {
    CTempDir site;
    site.Write("a.txt", "a\r\n");
    site.Write("b/c.txt", "c\r\n");
    site.Write("d.txt", "d\n");
    CliResult r = RunCliWith({"--line-ends", "unix", "--no-links", site.Path()}, "2\ny\n", true);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.err.find("      1  /a.txt\n      2  /b/c.txt\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Left as they are: 2\n"), std::string::npos) << r.err;
    EXPECT_EQ(ReadFile(site / "a.txt"), "a\n");
    EXPECT_EQ(ReadFile(site / "b/c.txt"), "c\r\n");
    std::string report = Lf(r.out);
    EXPECT_NE(report.find("NOT UPDATED BY USER REQUEST:\n-----"), std::string::npos);
    EXPECT_NE(report.find("DOS  -> UNIX:  " + (site / "a.txt") + "\n"), std::string::npos);
}

// Without a terminal nothing changes unless --yes is given; "n" on a terminal cancels.
TEST(LineEndsCli, ChangesNeedConfirmation) {
    CTempDir site;
    site.Write("a.txt", "a\r\n");
    EXPECT_EQ(RunCliWith({"--line-ends", "mac", "--no-links", site.Path()}, "", false).code, 2);
    EXPECT_EQ(ReadFile(site / "a.txt"), "a\r\n");
    CliResult r = RunCliWith({"--line-ends", "mac", "--no-links", site.Path()}, "n\n", true);
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(ReadFile(site / "a.txt"), "a\r\n");
    EXPECT_NE(r.out.find("PARTIAL REPORT:  TERMINATED EARLY BY USER"), std::string::npos);
    r = RunCliWith({"--line-ends", "mac", "--no-links", "--yes", site.Path()}, "", false);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(ReadFile(site / "a.txt"), "a\r");
}

// On a terminal a run that changed files offers to undo them at once.
TEST(UndoCli, OffersUndoOnATerminal) {
    CTempDir site;
    site.Write("index.htm", "<a href=\"My Page.HTM\">p</a>\n");
    site.Write("My Page.HTM", "<p>x</p>\r\n");
    const std::string before = TreeListing(site.Path(), true);
    CliResult r = RunCliWith({"--target", "lower", "--rename", "--line-ends", "unix", site.Path()},
                             "y\ny\ny\n", true);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Undo these changes? [y/N] "), std::string::npos);
    EXPECT_EQ(r.out.find("REPORT FROM SUCCESSFUL PASS"), 0u);
    EXPECT_NE(r.out.find("REVERTED FILES TO INITIAL STATE"), std::string::npos);
    // The external-URL page the run wrote goes with the rest.
    EXPECT_EQ(TreeListing(site.Path(), true), before);
    // Without a terminal nobody is asked.
    r = RunCliWith({"--target", "lower", "--rename", "--yes", "--no-links", site.Path()}, "",
                   false);
    EXPECT_EQ(r.err.find("Undo these changes?"), std::string::npos);
    EXPECT_EQ(r.out.find("REVERTED"), std::string::npos);
    EXPECT_EQ(ListNames(site.Path()), "index.htm\nmy page.htm\n");
}

}  // namespace ts::test
