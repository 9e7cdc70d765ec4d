// Names made for a target must be taken as they are by the real thing: an ISO 9660 level-1
// mastering tool and a FAT file system (written by mtools into an image file, no mount).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "base/RunSettings.h"
#include "platform/Text.h"
#include "support/Consumers.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// A site whose names break most rules, and that collide once the rules are applied.
void MakeMessySite(const CTempDir& site) {
    for (const char* n : {"my page#1.html", "read me", "a+b.htm", "ab.htm", "Index.HTML",
                          "verylongname.html", "x.y.z.txt", "+.htaccess", "a.", "semi;colon=.txt",
                          "UPPER.TXT", "lower.txt", "sub dir/nested file.jpeg",
                          "sub dir/Deep.Dir.Name/inner[1].txt", "sub dir/Deep.Dir.Name/~1"})
        site.Write(n, "x");
    for (int i = 1; i <= 12; ++i)
        site.Write(Format("longname%02d.html", i), "x");
    site.Write("\xc3\xa9t\xc3\xa9.txt", "x");
}

// Renames the site for the target; the paths of its entries, relative, as "/A/B".
std::set<std::string> RenameFor(int target, const std::string& dir) {
    RenameForTarget(target, dir);
    return TreePaths(dir);
}

TEST(TargetConsumers, IsoLevelOneToolKeepsTheNames) {
    if (!HaveTool("genisoimage") || !HaveTool("isoinfo"))
        GTEST_SKIP() << "genisoimage and isoinfo are needed (scripts/setup installs them)";
    CTempDir site, work;
    MakeMessySite(site);
    std::set<std::string> ours = RenameFor(TFS_ISO9660, site.Path());
    ASSERT_EQ(ours.size(), 30u);
    std::string iso = work / "site.iso", list = work / "list.txt";
    ASSERT_EQ(std::system(("genisoimage -quiet -iso-level 1 -o " + ShellQuote(iso) + " " +
                           ShellQuote(site.Path()) + " 2>" + ShellQuote(work / "err.txt"))
                              .c_str()),
              0)
        << ReadFile(work / "err.txt");
    ASSERT_EQ(std::system(("isoinfo -f -i " + ShellQuote(iso) + " >" + ShellQuote(list)).c_str()),
              0);
    // The image names a file "NAME.EXT;1", or "NAME.;1" when it has no extension.
    std::set<std::string> theirs;
    std::istringstream in(ReadFile(list));
    for (std::string line; std::getline(in, line);) {
        size_t version = line.rfind(";1");
        if (version != std::string::npos && version + 2 == line.size()) {
            line.resize(version);
            if (!line.empty() && line.back() == '.') line.pop_back();
        }
        theirs.insert(line);
    }
    EXPECT_EQ(theirs, ours);
}

TEST(TargetConsumers, FatStoresPlainShortNames) {
    if (!HaveTool("mformat") || !HaveTool("mcopy"))
        GTEST_SKIP() << "mtools is needed (scripts/setup installs it)";
    CTempDir site;
    MakeMessySite(site);
    std::set<std::string> ours = RenameFor(TFS_DOS_FAT, site.Path());
    ASSERT_EQ(ours.size(), 30u);
    ExpectPlainShortNamesOnFat(site.Path(), ours);
}

}  // namespace
}  // namespace ts::test
