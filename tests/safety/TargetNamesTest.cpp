// Names a target cannot hold: device names, blanks and dots at the end, letters outside ASCII
// in short names. A real tree is renamed and then copied onto a FAT image by mtools, which
// refuses "CON" and stores anything else it cannot hold under another name.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "base/RunSettings.h"
#include "base/Strings.h"
#include "platform/Text.h"
#include "support/Consumers.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

TEST(TargetNames, DosNamesArePlainShortNamesThatFatHolds) {
    CTempDir site;
    site.Write("index.html",
               "<a href=\"CON\">1</a> <a href=\"AUX.TXT\">2</a> <a href=\"caf%C3%A9.htm\">3</a>\n"
               "<a href=\"\xe6\x97\xa5\xe6\x9c\xac.htm\">4</a> <a href=\"COM1/page.htm\">5</a>\n");
    for (const char* n :
         {"CON", "AUX.TXT", "nul.html", "Cafe.htm", "caf\xc3\xa9.htm",
          "\xe6\x97\xa5\xe6\x9c\xac.htm", "\xe4\xb8\xad\xe6\x96\x87.htm", "\xff.txt", "name. ",
          "\xc3\x9c"
          "ber Stra\xc3\x9f"
          "e.txt",
          "e\xcc\x81t\xc3\xa9.txt", "COM1/page.htm", "lpt1.x.y"})
        site.Write(n, "x");
    const std::string report = RenameForTarget(TFS_DOS_FAT, site.Path(), site / "index.html");
    const std::set<std::string> ours = TreePaths(site.Path());
    // The report holds the names as they were; what is new is plain ASCII, numbered apart
    // where folding made two names one ("Cafe" and "café", two names of CJK letters). The
    // device check comes after the 8.3 form: "lpt1.x.y" becomes "LPT1X.Y", no device.
    EXPECT_EQ(ours, (std::set<std::string>{"/AUX_.TXT", "/CAFE.HTM", "/CAFE~1.HTM", "/COM1_",
                                           "/COM1_/PAGE.HTM", "/CON_", "/ETE.TXT", "/INDEX.HTM",
                                           "/LPT1X.Y", "/NAME", "/NUL_.HTM", "/UBERSTRA.TXT",
                                           "/_.TXT", "/__.HTM", "/__~1.HTM"}));
    EXPECT_NE(report.find(PadRight("CON_", 36) + "    " + site / "CON" + "\n"), std::string::npos)
        << report;
    // The links follow the files: the page still reaches every one of them.
    EXPECT_EQ(ReadFile(site / "INDEX.HTM"),
              "<a href=\"CON_\">1</a> <a href=\"AUX_.TXT\">2</a> <a href=\"CAFE~1.HTM\">3</a>\n"
              "<a href=\"__~1.HTM\">4</a> <a href=\"COM1_/PAGE.HTM\">5</a>\n");

    if (!HaveTool("mformat") || !HaveTool("mcopy"))
        GTEST_SKIP() << "mtools is needed to copy the names onto a FAT image (scripts/setup "
                        "installs it)";
    ExpectPlainShortNamesOnFat(site.Path(), ours);
}

// Windows 95 and NTFS keep long names as they are, but neither can hold a device name or a
// name that ends in a blank or a dot. mtools stores long names as Windows does.
TEST(TargetNames, WindowsLongNamesHaveNoDevicesAndNoTrailingBlanksOrDots) {
    for (int target : {TFS_WIN95_VFAT, TFS_NTFS}) {
        CTempDir site, work;
        for (const char* n :
             {"CON", "aux.txt", "Com1.log", "lpt9.x.y", "conout$", "Name", "name. ", "trail ",
              "dots...", "  .  ", "COM10", "console.txt", "nul/inner file.txt"})
            site.Write(n, "x");
        RenameForTarget(target, site.Path());
        const std::set<std::string> ours = TreePaths(site.Path());
        EXPECT_EQ(ours, (std::set<std::string>{"/CON_", "/COM10", "/Com1_.log", "/Name",
                                               "/aux_.txt", "/console.txt", "/conout$_", "/dots",
                                               "/lpt9_.x.y", "/name~1", "/nul_",
                                               "/nul_/inner file.txt", "/trail", "/~1"}))
            << target;

        if (!HaveTool("mformat") || !HaveTool("mcopy") || !HaveTool("mdir"))
            GTEST_SKIP() << "mtools is needed to copy the names onto a FAT image (scripts/setup "
                            "installs it)";
        const std::string img = work / "site.img", err = work / "err.txt";
        ASSERT_EQ(CopyOntoFat(site.Path(), img, err), 0) << ReadFile(err);
        const std::string list = work / "list.txt";
        ASSERT_EQ(std::system(("MTOOLS_SKIP_CHECK=1 mdir -/ -b -i " + ShellQuote(img) + " :: >" +
                               ShellQuote(list))
                                  .c_str()),
                  0);
        // "::/NAME" for a file, "::/DIR/" for a directory: the long names as stored.
        std::set<std::string> theirs;
        std::istringstream in(ReadFile(list));
        for (std::string line; std::getline(in, line);) {
            if (line.starts_with("::")) line.erase(0, 2);
            if (line.size() > 1 && line.back() == '/') line.pop_back();
            theirs.insert(line);
        }
        EXPECT_EQ(theirs, ours) << target;
    }
}

}  // namespace
}  // namespace ts::test
