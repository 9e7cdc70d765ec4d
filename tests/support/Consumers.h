// Real consumers of the names a target gets: tools that tests run when they are installed,
// and a reader of the FAT images mtools writes.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

#include "base/RunSettings.h"
#include "support/RunHelpers.h"
#include "support/TempDir.h"

namespace ts::test {

inline bool HaveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Renames the entries of dir for the target, links of the home page updated when one is given
// (without the external-URL page, which would be one more entry); the report.
inline std::string RenameForTarget(int target, const std::string& dir,
                                   const std::string& home = {}) {
    CTempDir tmp;
    CScriptedUi ui;
    ui.settings = DefaultSettings(dir, home);
    ui.settings.Target = target;
    ui.settings.Rename = true;
    ui.settings.FilesOnly = home.empty();
    ui.settings.ReportExternalRefs = false;
    ui.settings.DeriveUpdateLinks();
    auto doc = MakeDoc(RealFileSystem(), ui, tmp.Path());
    doc->CheckDirectory();
    EXPECT_NE(doc->m_dwRunStatus & RS_COMPLETED, 0u);
    return Lf(ui.viewText);
}

// The entries below dir as "/A/B" paths.
inline std::set<std::string> TreePaths(const std::string& dir) {
    std::set<std::string> paths;
    std::istringstream listing(TreeListing(dir, false));
    for (std::string line; std::getline(listing, line);) {
        if (!line.empty() && line.back() == '/') line.pop_back();
        paths.insert("/" + line);
    }
    return paths;
}

// s as one word of a shell command, whatever bytes it holds.
inline std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Copies the entries of dir onto a new FAT floppy image with mcopy; its exit status.
inline int CopyOntoFat(const std::string& dir, const std::string& img, const std::string& err) {
    std::string cmd = "MTOOLS_SKIP_CHECK=1 mformat -C -f 1440 -i " + ShellQuote(img) +
                      " :: && MTOOLS_SKIP_CHECK=1 mcopy -s -i " + ShellQuote(img);
    std::istringstream names(ListNames(dir));
    for (std::string n; std::getline(names, n);)
        cmd += " " + ShellQuote(dir + "/" + n);
    return std::system((cmd + " :: </dev/null 2>" + ShellQuote(err)).c_str());
}

// The short names of a FAT12 image (as mformat makes one for a floppy), read from its bytes:
// paths as "/DIR/NAME.EXT", and the number of long-name entries met.
struct FatImage {
    std::string bytes;
    unsigned U16(size_t at) const {
        return static_cast<unsigned char>(bytes[at]) |
               (static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8);
    }
    size_t bps = 0, spc = 0, fatStart = 0, dataStart = 0;
    int longNameEntries = 0;
    std::set<std::string> paths;

    // Reads the image file; false when it is too short to be one.
    bool Load(const std::string& img) {
        bytes = ReadFile(img);
        if (bytes.size() <= 512) return false;
        Read();
        return true;
    }
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

// Copies the entries of dir onto a FAT image and expects them there under exactly the paths
// ours, each a plain short name (no long-name entry needed).
inline void ExpectPlainShortNamesOnFat(const std::string& dir, const std::set<std::string>& ours) {
    CTempDir work;
    const std::string img = work / "site.img", err = work / "err.txt";
    ASSERT_EQ(CopyOntoFat(dir, img, err), 0) << ReadFile(err);
    FatImage fat;
    ASSERT_TRUE(fat.Load(img));
    EXPECT_EQ(fat.longNameEntries, 0);
    EXPECT_EQ(fat.paths, ours);
}

}  // namespace ts::test
