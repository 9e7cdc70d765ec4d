// The program's own files in a site (its logs, reports, external-URL page and temporary files)
// are no site files: a run neither renames, parses nor lists them, so two check runs in a row
// report the same.
#include <gtest/gtest.h>

#include "site/OwnFiles.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const char* const kOwn[] = {"report_of_external_refs.htm",
                            "REPORT.TSY",
                            "REPORT_1.TSY",
                            "RENAME.LOG",
                            "STATUS.TSY",
                            "ERROR.TSY",
                            ".ts_k2Jx9q"};

class OwnFilesTest : public ::testing::Test {
protected:
    void Run(bool rename) {
        ui.settings = DefaultSettings(top.Path(), top / "index.html");
        ui.settings.Target = TFS_DOS_FAT;
        ui.settings.Rename = rename;
        ui.settings.DeriveUpdateLinks();
        auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
        doc->CheckDirectory();
    }
    std::string Report() const { return Lf(MaskDate(ui.viewText)); }

    CTempDir top, tmp;
    CScriptedUi ui;
};

}  // namespace

TEST_F(OwnFilesTest, TwoCheckRunsInARowReportTheSameAndARenameLeavesThemAlone) {
    top.Write("index.html",
              "<a href=\"http://example.com/\">out</a> <a href=\"gone.html\">x</a>\n");
    top.Write("report_of_external_refs.htm", "<a href=\"stale.html\">stale</a>\n");
    for (const char* name : kOwn)
        if (!Exists(top / name)) top.Write(name, "ours\n");
    top.Write("sub/RENAME.LOG", "a log below\n");
    // Names that only look like ours are the user's.
    top.Write("rename.log", "user\n");
    top.Write("REPORT_01.TSY", "user\n");
    top.Write("sub/REPORT.TSY", "user\n");

    Run(false);
    const std::string first = Report();
    Run(false);
    EXPECT_EQ(Report(), first);
    EXPECT_NE(first.find("4 files in 1 directories"), std::string::npos) << first;
    const std::string unused =
        ReportSection(first, "THE FOLLOWING FILES WERE NOT USED IN THE SITE HIERARCHY:");
    EXPECT_NE(unused.find(top / "rename.log"), std::string::npos) << unused;
    EXPECT_NE(unused.find(top / "sub/REPORT.TSY"), std::string::npos) << unused;
    const std::string names = ReportSection(first, "SUGGESTED NEW NAMES FOR FILES:");
    EXPECT_NE(names.find(top / "rename.log"), std::string::npos) << names;
    for (const char* name : kOwn) {
        EXPECT_EQ(names.find(top / name), std::string::npos) << name;
        EXPECT_EQ(unused.find(top / name), std::string::npos) << name;
    }
    // The old page's link was not read as one of the site's.
    EXPECT_EQ(first.find("stale.html"), std::string::npos);

    Run(true);
    for (const char* name : kOwn)
        EXPECT_TRUE(Exists(top / name)) << name;
    EXPECT_EQ(ReadFile(top / "REPORT.TSY"), "ours\n");
    // The user's files kept their content under whatever names they got; none took ours.
    const std::string listing = TreeListing(top.Path(), true);
    size_t users = 0;
    for (size_t at = listing.find("user\n"); at != std::string::npos;
         at = listing.find("user\n", at + 1))
        ++users;
    EXPECT_EQ(users, 3u) << listing;
    const std::string renamed = ReportSection(Report(), "RENAMED FILES:");
    EXPECT_NE(renamed.find(top / "rename.log"), std::string::npos) << renamed;
    for (const char* name : kOwn)
        EXPECT_EQ(renamed.find(top / name), std::string::npos) << name;
}

TEST(OwnFiles, ExactNamesOnly) {
    EXPECT_TRUE(IsOwnFileName("REPORT_12.TSY", true));
    EXPECT_FALSE(IsOwnFileName("REPORT_12.TSY", false));
    EXPECT_FALSE(IsOwnFileName("REPORT_.TSY", true));
    EXPECT_FALSE(IsOwnFileName("REPORT_1a.TSY", true));
    EXPECT_FALSE(IsOwnFileName("REPORT_0.TSY", true));
    EXPECT_FALSE(IsOwnFileName("report.tsy", true));
    EXPECT_TRUE(IsOwnFileName("RENAME.LOG", false));
    EXPECT_TRUE(IsOwnFileName(".ts_case_1_0", false));
    EXPECT_FALSE(IsOwnFileName(".tsx", false));
}

}  // namespace ts::test
