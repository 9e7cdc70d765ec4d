// A run on a file system filled to its last block: what could not be written is reported as
// such, no sentence of the report claims work that did not happen, and what fits in the blocks
// a file already has is done.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

// A small tmpfs mounted for the test and taken away afterwards.
class CSmallDisk {
public:
    CSmallDisk() {
        m_bMounted = ::mount("tessary-test", m_dir.Path().c_str(), "tmpfs", 0, "size=256k") == 0;
        if (!m_bMounted) m_strWhy = std::strerror(errno);
    }
    ~CSmallDisk() {
        if (m_bMounted) ::umount2(m_dir.Path().c_str(), MNT_DETACH);
    }
    bool Mounted() const { return m_bMounted; }
    const std::string& Why() const { return m_strWhy; }
    const std::string& Path() const { return m_dir.Path(); }

    // Writes a filler file until no block is left.
    void Fill() {
        FILE* f = std::fopen((Path() + "/filler").c_str(), "wb");
        ASSERT_TRUE(f);
        std::setvbuf(f, nullptr, _IONBF, 0);
        const std::string block(512, 'x');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
        }
        std::fclose(f);
        // A byte at a time fills the last part of a block too.
        f = std::fopen((Path() + "/filler").c_str(), "ab");
        std::setvbuf(f, nullptr, _IONBF, 0);
        while (std::fputc('x', f) != EOF) {
        }
        std::fclose(f);
    }

private:
    CTempDir m_dir;
    bool m_bMounted = false;
    std::string m_strWhy;
};

// Text padded to exactly one page of the tmpfs, so that any growth needs a block there is none
// of, and any shrinking needs none.
std::string OnePage(std::string text) {
    const std::string open = "<!--", close = "-->\n";
    text += open + std::string(4096 - text.size() - open.size() - close.size(), 'x') + close;
    return text;
}

void Write(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(f) << path;
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

}  // namespace

TEST(FullDisk, NothingThatFailedIsCalledDone) {
    CSmallDisk disk;
    if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << disk.Why();
    const std::string site = disk.Path() + "/site";
    ASSERT_EQ(::mkdir(site.c_str(), 0755), 0);
    const std::string home =
        OnePage("<a href=\"My Page.html\">me</a>\n<a href=\"http://example.com/\">x</a>\n");
    const std::string mine = OnePage("<a href=\"index.html\">home</a>\n");
    const std::string notes = OnePage("one\ntwo\n");
    Write(site + "/index.html", home);
    Write(site + "/My Page.html", mine);
    Write(site + "/notes.txt", notes);
    disk.Fill();

    CliResult r = RunCliWith({"--target", "dos", "--rename", "--yes", "--line-ends", "dos",
                              "--home", "index.html", site},
                             "", false);
    // The renames need no block, nor do the shorter links; longer line ends would.
    auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        return text.replace(text.find(from), from.size(), to);
    };
    EXPECT_EQ(ReadFile(site + "/INDEX.HTM"), replaced(home, "My Page.html", "MYPAGE.HTM"));
    EXPECT_EQ(ReadFile(site + "/MYPAGE.HTM"), replaced(mine, "index.html", "INDEX.HTM"));
    EXPECT_EQ(ReadFile(site + "/NOTES.TXT"), notes);
    for (const char* claim : {"All files had compatible ASCII line endings!",
                              "This site looks totally clean!", "This file is named", " -> "})
        EXPECT_EQ(r.out.find(claim), std::string::npos) << claim << "\n" << r.out;
    for (const char* truth :
         {"There were file permissions errors or file I/O errors.",
          "Line endings of 3 files could not be changed.  See the file errors above.",
          "NOTES.TXT    Error updating, original left unchanged"})
        EXPECT_NE(r.out.find(truth), std::string::npos) << truth << "\n" << r.out;
    EXPECT_NE(r.code, 0);
    // No temporary file of the run and no half-written page stays behind.
    EXPECT_EQ(ListNames(site), "INDEX.HTM\nMYPAGE.HTM\nNOTES.TXT\n");
}

}  // namespace ts::test
