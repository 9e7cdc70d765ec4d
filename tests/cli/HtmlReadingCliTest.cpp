#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

void WriteReferenceSite(const CTempDir& site) {
    site.Write("index.html",
               "<a href=\"caf&eacute;.html\">1</a>\n"
               "<a href=\"caf&eacute.html#menu\">2</a>\n"
               "<a href=\"x&#150;y.html\">3</a> <img src='caf&eacute;&#46;png' alt=\"\">\n"
               "<a href=\"caf&eacute;.html?a=1&copy=2\">4</a>\n");
    site.Write("caf\xC3\xA9.html", "<p>menu</p>\n");
    site.Write("x\xE2\x80\x93y.html", "<p>dash</p>\n");
    site.Write("caf\xC3\xA9.png", "\x89PNG\r\n\x1a\n");
}

}  // namespace

TEST(HtmlReadingCli, CharacterReferencesNameTheirFiles) {
    CTempDir site;
    WriteReferenceSite(site);
    const std::string before = TreeListing(site.Path(), true);
    CliResult r = RunCliWith({"--no-external", site.Path()}, "", false);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("All local links are resolved!"), std::string::npos) << r.out;

    r = RunCliWith({"--target", "dos", "--rename", "--yes", "--no-external", site.Path()}, "",
                   false);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ListNames(site.Path()), "CAFE.HTM\nCAFE.PNG\nINDEX.HTM\nX_Y.HTM\n");
    // Only the name's bytes change: the fragment, the query and its "&copy=" stay as written.
    EXPECT_EQ(ReadFile(site / "INDEX.HTM"),
              "<a href=\"CAFE.HTM\">1</a>\n"
              "<a href=\"CAFE.HTM#menu\">2</a>\n"
              "<a href=\"X_Y.HTM\">3</a> <img src='CAFE.PNG' alt=\"\">\n"
              "<a href=\"CAFE.HTM?a=1&copy=2\">4</a>\n");
    EXPECT_NE(r.out.find("All local links are resolved!"), std::string::npos) << r.out;
    r = RunCliWith({"--undo", site.Path()}, "", false);
    EXPECT_EQ(TreeListing(site.Path(), true), before) << r.out;

    // A new name that keeps its "é" is written percent-encoded in place of the reference.
    CTempDir kept;
    WriteReferenceSite(kept);
    r = RunCliWith({"--target", "none", "--web-ext", "windows", "--rename", "--yes",
                    "--no-external", kept.Path()},
                   "", false);
    EXPECT_EQ(r.code, 0) << r.out;
    EXPECT_EQ(ReadFile(kept / "index.htm"),
              "<a href=\"caf%C3%A9.htm\">1</a>\n"
              "<a href=\"caf%C3%A9.htm#menu\">2</a>\n"
              "<a href=\"x%E2%80%93y.htm\">3</a> <img src='caf&eacute;&#46;png' alt=\"\">\n"
              "<a href=\"caf%C3%A9.htm?a=1&copy=2\">4</a>\n");
}

}  // namespace ts::test
