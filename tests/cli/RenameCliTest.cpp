#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/ReportStream.h"
#include "cli/Cli.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {

TEST(RenameCli, VerifyListOnATerminal) {
    CTempDir site;
    site.Write("a b.htm", "1");
    site.Write("Old Dir/c d.htm", "2");
    site.Write("e f.htm", "3");
    // Row 3 (the directory) stays; the rest is renamed.
    CliResult r =
        RunCliWith({"--target", "dos", "--rename", "--no-links", site.Path()}, "4 3\n4\ny\n", true);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Tessary: Verify Filenames\nDirectory: " + site.Path() + "\n"),
              std::string::npos)
        << r.err;
    auto row = [](int n, const char* suggested, const char* original) {
        return Format("%7d  %-18s  %s\n", n, suggested, original);
    };
    EXPECT_NE(r.err.find(row(1, "AB.HTM", "/a b.htm") + row(2, "EF.HTM", "/e f.htm") +
                         row(3, "OLDDIR", "/Old Dir") + row(4, "   CD.HTM", "/Old Dir/c d.htm")),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Left unrenamed: 3, 4\n"), std::string::npos);
    EXPECT_NE(r.err.find("Left unrenamed: 3\n"), std::string::npos);
    EXPECT_EQ(TreeListing(site.Path(), false), "AB.HTM\nEF.HTM\nOld Dir/\nOld Dir/CD.HTM\n");
    EXPECT_NE(r.out.find("THESE FILES NEEDED RENAMING BUT WERE NOT RENAMED BY USER REQUEST:\n" +
                         std::string(80, '-') + "\nOLDDIR"),
              std::string::npos)
        << r.out;

    // A bad row number is refused and asked again; n stops before anything changes.
    CTempDir other;
    other.Write("g h.htm", "4");
    r = RunCliWith({"--target", "dos", "--rename", "--no-links", other.Path()}, "7\nn\n", true);
    EXPECT_EQ(r.code, 3);
    EXPECT_NE(r.err.find("Not a row number from 1 to 1: 7\n"), std::string::npos) << r.err;
    EXPECT_EQ(TreeListing(other.Path(), false), "g h.htm\n");
}

TEST(RenameCli, WithoutATerminalRenamingNeedsYes) {
    CTempDir site;
    site.Write("a b.htm", "1");
    CliResult r = RunCliWith({"--target", "dos", "--rename", "--no-links", site.Path()}, "", false);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(TreeListing(site.Path(), false), "a b.htm\n");
    r = RunCliWith({"--target", "dos", "--rename", "--yes", "--no-links", site.Path()}, "", false);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(TreeListing(site.Path(), false), "AB.HTM\n");
}

TEST(RenameCli, PromptForEachName) {
    CTempDir site;
    site.Write("a b.htm", "1");
    site.Write("c d.htm", "2");
    // The first name is edited (an invalid one is refused with the reason), the second one
    // is not renamed.
    CliResult r = RunCliWith({"--target", "dos", "--rename", "--prompt", "--no-links", site.Path()},
                             "e\nx+y.htm\ne\nverylongname\ne\nnew.htm\na\nn\ny\n", true);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("Tessary: Rename File\n"
                         "This dialog will only let you enter valid DOS 8.3 FAT filenames.\n"
                         "  Directory:          " +
                         site.Path() +
                         "\n"
                         "  Original Filename:  a b.htm\n"
                         "  Suggested Change:   AB.HTM\n"
                         "[a]ccept, accept a[l]l, [n]o rename, [e]dit or [c]ancel? "),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Refused: \"+\" is not allowed in DOS 8.3 FAT filenames.\n"),
              std::string::npos);
    EXPECT_NE(r.err.find("Refused: a name has at most 8 characters before the dot.\n"),
              std::string::npos);
    EXPECT_NE(r.err.find("  Suggested Change:   NEW.HTM\n"), std::string::npos);
    EXPECT_EQ(TreeListing(site.Path(), false), "NEW.HTM\nc d.htm\n");

    // A name that another entry has is replaced by a unique one, which is then accepted.
    CTempDir two;
    two.Write("a b.htm", "1");
    two.Write("TAKEN.HTM", "2");
    r = RunCliWith({"--target", "dos", "--rename", "--prompt", "--no-links", two.Path()},
                   "e\ntaken.htm\na\na\ny\n", true);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("The new filename is not unique!\nA unique name is now being "
                         "substituted in the \"Suggested Change\" field.\n"
                         "  Suggested Change:   TAKEN~1.HTM\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(TreeListing(two.Path(), false), "TAKEN.HTM\nTAKEN~1.HTM\n");

    // Cancel ends the run early, nothing renamed.
    r = RunCliWith({"--target", "dos", "--rename", "--prompt", "--no-links", two.Path()}, "c\n",
                   true);
    EXPECT_EQ(r.code, 0);  // nothing needs a name any more
    CTempDir three;
    three.Write("x y.htm", "1");
    r = RunCliWith({"--target", "dos", "--rename", "--prompt", "--no-links", three.Path()}, "c\n",
                   true);
    EXPECT_EQ(r.code, 3);
    EXPECT_EQ(TreeListing(three.Path(), false), "x y.htm\n");
}

TEST(RenameCli, ReadOnlyQuestion) {
    CTempDir site;
    ::chmod(site.Write("r o.txt", "1").c_str(), 0444);
    ::chmod(site.Write("s p.txt", "2").c_str(), 0444);
    // Yes for the first, No for the second.
    CliResult r =
        RunCliWith({"--target", "dos", "--rename", "--read-only", "ask", "--no-links", site.Path()},
                   "y\ny\nn\n", true);
    EXPECT_EQ(r.code, 1) << r.err;  // the skipped file is a file error
    EXPECT_NE(r.err.find("Tessary: Read-only File\nFile: \"" + site / "r o.txt" +
                         "\"  is read-only.\nDo you want to change its attributes to make it "
                         "writable?\n[y]es, yes to [a]ll, [n]o or no to a[l]l? "),
              std::string::npos)
        << r.err;
    EXPECT_EQ(TreeListing(site.Path(), false), "RO.TXT\ns p.txt\n");
    EXPECT_NE(r.out.find("read-only file was skipped"), std::string::npos);

    // Without a terminal, asking means skipping.
    r = RunCliWith(
        {"--target", "dos", "--rename", "--yes", "--read-only", "ask", "--no-links", site.Path()},
        "", false);
    EXPECT_EQ(TreeListing(site.Path(), false), "RO.TXT\ns p.txt\n");
    EXPECT_EQ(r.err.find("is read-only"), std::string::npos);
}

TEST(RenameCli, HelpExplainsTheAnswers) {
    CliResult r = RunCliWith({"--help"}, "", false);
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("row numbers"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("accept all, no rename, edit"), std::string::npos);
}

}  // namespace ts::test
