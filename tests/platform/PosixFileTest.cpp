// Reading through the real file system: a scan opens every file once, so the handle saves
// system calls where it can, and must not give up any byte for it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace ts::test {

TEST(PosixFile, ReadsEveryByteInBlocksAndSeesWhatIsAppendedLater) {
    CTempDir dir;
    std::string content;
    for (int i = 0; i < 1500; ++i)
        content += static_cast<char>('a' + i % 26);
    std::string path = dir.Write("f.txt", content);
    CFileSystem& fs = RealFileSystem();

    auto f = fs.OpenRead(path);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->Length(), 1500);
    std::string got;
    char block[512];
    long long n;
    while ((n = f->Read(block, sizeof block)) > 0)
        got.append(block, static_cast<size_t>(n));
    EXPECT_EQ(n, 0);
    EXPECT_EQ(got, content);

    // Appended after the handle was opened: the length stays that of the opening, but a read
    // still returns the new bytes.
    auto w = fs.OpenWrite(dir / "g.txt");
    ASSERT_TRUE(w);
    ASSERT_TRUE(w->Write("12345", 5));
    auto g = fs.OpenRead(dir / "g.txt");
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Read(block, 3), 3);
    EXPECT_EQ(g->Read(block, sizeof block), 2);
    ASSERT_TRUE(w->Write("678", 3));
    EXPECT_EQ(w->Length(), 8);
    EXPECT_EQ(g->Length(), 5);
    ASSERT_EQ(g->Read(block, sizeof block), 3);
    EXPECT_EQ(std::string(block, 3), "678");

    // A seek moves the point from which the size check counts.
    ASSERT_TRUE(f->Seek(1000));
    EXPECT_EQ(f->Read(block, sizeof block), 500);
    EXPECT_EQ(std::string(block, 500), content.substr(1000));
    ASSERT_TRUE(f->Seek(0));
    EXPECT_EQ(f->Read(block, sizeof block), 512);
}

TEST(PosixFile, RefusesWhatIsNotARegularFileWithoutBlocking) {
    CTempDir dir;
    std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    CFileSystem& fs = RealFileSystem();
    // Opening a FIFO for reading would wait for a writer; the handle must come back at once.
    EXPECT_FALSE(fs.OpenRead(fifo));
    EXPECT_FALSE(fs.OpenRead(dir.Path()));
    auto empty = fs.OpenRead(dir.Write("empty", ""));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Length(), 0);
    char block[16];
    EXPECT_EQ(empty->Read(block, sizeof block), 0);
}

}  // namespace ts::test
