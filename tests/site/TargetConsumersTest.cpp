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
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// A site whose names break most rules, and that collide once the rules are applied.
void MakeMessySite(const CTempDir& site, bool ascii) {
    for (const char* n : {"my page#1.html", "read me", "a+b.htm", "ab.htm", "Index.HTML",
                          "verylongname.html", "x.y.z.txt", "+.htaccess", "a.", "semi;colon=.txt",
                          "UPPER.TXT", "lower.txt", "sub dir/nested file.jpeg",
                          "sub dir/Deep.Dir.Name/inner[1].txt", "sub dir/Deep.Dir.Name/~1"})
        site.Write(n, "x");
    for (int i = 1; i <= 12; ++i)
        site.Write(Format("longname%02d.html", i), "x");
    if (!ascii) site.Write("\xc3\xa9t\xc3\xa9.txt", "x");
}

// Renames the site for the target; the paths of its entries, relative, as "/A/B" lines.
std::set<std::string> RenameFor(int target, const std::string& dir) {
    CTempDir tmp;
    CScriptedUi ui;
    ui.settings = DefaultSettings(dir);
    ui.settings.Target = target;
    ui.settings.Rename = true;
    ui.settings.FilesOnly = true;
    ui.settings.DeriveUpdateLinks();
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_NE(doc->m_dwRunStatus & RS_COMPLETED, 0u);
    std::set<std::string> paths;
    std::istringstream listing(TreeListing(dir, false));
    for (std::string line; std::getline(listing, line);) {
        if (!line.empty() && line.back() == '/') line.pop_back();
        paths.insert("/" + line);
    }
    return paths;
}

TEST(TargetConsumers, IsoLevelOneToolKeepsTheNames) {
    if (!HaveTool("genisoimage") || !HaveTool("isoinfo"))
        GTEST_SKIP() << "genisoimage and isoinfo are needed (scripts/setup installs them)";
    CTempDir site, work;
    MakeMessySite(site, false);
    std::set<std::string> ours = RenameFor(TFS_ISO9660, site.Path());
    ASSERT_EQ(ours.size(), 30u);
    std::string iso = work / "site.iso", list = work / "list.txt";
    ASSERT_EQ(std::system(("genisoimage -quiet -iso-level 1 -o " + Quote(iso) + " " +
                           Quote(site.Path()) + " 2>" + Quote(work / "err.txt"))
                              .c_str()),
              0)
        << ReadFile(work / "err.txt");
    ASSERT_EQ(std::system(("isoinfo -f -i " + Quote(iso) + " >" + Quote(list)).c_str()), 0);
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

struct FatImage {
    std::string bytes;
    unsigned U16(size_t at) const {
        return static_cast<unsigned char>(bytes[at]) |
               (static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    }
    size_t bps = 0, spc = 0, fatStart = 0, dataStart = 0;
    int longNameEntries = 0;
    std::set<std::string> paths;

    // FAT12, as mformat makes it for a floppy image.
    void Read() {
        bps = U16(11);
        spc = static_cast<unsigned char>(bytes[13]);
        size_t reserved = U16(14), fats = static_cast<unsigned char>(bytes[16]);
        size_t rootEntries = U16(17), fatSectors = U16(22);
        fatStart = reserved * bps;
        size_t rootStart = (reserved + fats * fatSectors) * bps;
        dataStart = rootStart + (rootEntries * 32 + bps - 1) / bps * bps;
        Walk(bytes.substr(rootStart, rootEntries * 32), "");
    }
    unsigned NextCluster(unsigned c) const {
        unsigned w = U16(fatStart + c * 3 / 2);
        return (c & 1) ? (w >> 4) : (w & 0xFFF);
    }
    std::string Chain(unsigned c) const {
        std::string out;
        for (int guard = 0; c >= 2 && c < 0xFF8 && guard < 4096; ++guard) {
            out += bytes.substr(dataStart + (c - 2) * spc * bps, spc * bps);
            c = NextCluster(c);
        }
        return out;
    }
    static std::string Trim(std::string s) {
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        return s;
    }
    void Walk(const std::string& dir, const std::string& prefix) {
        for (size_t at = 0; at + 32 <= dir.size(); at += 32) {
            unsigned char first = static_cast<unsigned char>(dir[at]);
            if (first == 0) break;
            if (first == 0xE5) continue;
            unsigned char attr = static_cast<unsigned char>(dir[at + 11]);
            if (attr == 0x0F) {
                ++longNameEntries;
                continue;
            }
            if (attr & 0x08) continue;  // volume label
            std::string name = Trim(dir.substr(at, 8)), ext = Trim(dir.substr(at + 8, 3));
            if (first == 0x05) name[0] = '\xE5';
            if (name == "." || name == "..") continue;
            std::string path = prefix + "/" + name + (ext.empty() ? "" : "." + ext);
            paths.insert(path);
            unsigned cluster =
                static_cast<unsigned char>(dir[at + 26]) |
                (static_cast<unsigned>(static_cast<unsigned char>(dir[at + 27])) << 8);
            if (attr & 0x10) Walk(Chain(cluster), path);
        }
    }
};

TEST(TargetConsumers, FatStoresPlainShortNames) {
    if (!HaveTool("mformat") || !HaveTool("mcopy"))
        GTEST_SKIP() << "mtools is needed (scripts/setup installs it)";
    CTempDir site, work;
    MakeMessySite(site, true);
    std::set<std::string> ours = RenameFor(TFS_DOS_FAT, site.Path());
    ASSERT_EQ(ours.size(), 29u);
    std::string img = work / "site.img";
    std::string cmd = "MTOOLS_SKIP_CHECK=1 mformat -C -f 1440 -i " + Quote(img) + " :: && " +
                      "MTOOLS_SKIP_CHECK=1 mcopy -s -i " + Quote(img);
    std::istringstream names(ListNames(site.Path()));
    for (std::string n; std::getline(names, n);)
        cmd += " " + Quote(site / n);
    cmd += " :: 2>" + Quote(work / "err.txt");
    ASSERT_EQ(std::system(cmd.c_str()), 0) << ReadFile(work / "err.txt");
    FatImage fat;
    fat.bytes = ReadFile(img);
    ASSERT_GT(fat.bytes.size(), 512u);
    fat.Read();
    EXPECT_EQ(fat.longNameEntries, 0);
    EXPECT_EQ(fat.paths, ours);
}

}  // namespace
}  // namespace ts::test
