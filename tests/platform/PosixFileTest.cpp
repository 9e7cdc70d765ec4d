// Reading through the real file system: a scan opens every file once, so the handle saves
// system calls where it can, and must not give up any byte for it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/SafeRewrite.h"
#include "support/FaultyFileSystem.h"
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

// During a scan the listed directories stay open and entries are examined relative to them.
// The answers must be those of whole paths, a directory left by the scan must be let go, and
// a link put in the place of a subdirectory after it was examined must not be followed.
TEST(PosixFile, AScanExaminesEntriesInTheDirectoriesItListsAndNeverFollowsALink) {
    CTempDir dir, outside;
    dir.Write("a/one.txt", "one\n");
    dir.Write("a/b/two.txt", "two!\n");
    dir.Write("c/three.txt", "3\n");
    dir.Mkdir("d");
    outside.Write("secret.txt", "secret\n");
    CFileSystem& fs = RealFileSystem();
    std::vector<std::string> names;
    auto size = [&](const std::string& path) {
        FileStat st;
        return fs.Stat(path, st) ? static_cast<long long>(st.size) : -1;
    };
    auto firstByte = [&](const std::string& path) {
        auto f = fs.OpenRead(path);
        char c = 0;
        return f && f->Read(&c, 1) == 1 ? c : '?';
    };

    fs.BeginScan();
    ASSERT_TRUE(fs.ListDir(dir.Path(), names));
    EXPECT_EQ(names, (std::vector<std::string>{"a", "c", "d"}));
    ASSERT_TRUE(fs.ListDir(dir / "a", names));
    EXPECT_EQ(names, (std::vector<std::string>{"b", "one.txt"}));
    ASSERT_TRUE(fs.ListDir(dir / "a/b", names));
    EXPECT_EQ(size(dir / "a/b/two.txt"), 5);
    // Back in a directory listed before the last one, and in one never listed.
    EXPECT_EQ(size(dir / "a/one.txt"), 4);
    EXPECT_EQ(firstByte(dir / "a/one.txt"), 'o');
    EXPECT_EQ(size(outside / "secret.txt"), 7);
    EXPECT_EQ(size(dir / "a/missing.txt"), -1);
    FileStat missing;
    EXPECT_EQ(fs.Stat(dir / "a/missing.txt", missing).Error(), ENOENT);
    ASSERT_TRUE(fs.ListDir(dir / "c", names));
    EXPECT_EQ(firstByte(dir / "c/three.txt"), '3');
    EXPECT_EQ(firstByte(dir / "a/b/two.txt"), 't');  // "a/b" was let go: by its path

    // "d" was examined as a directory; now it is a link to a directory outside the run.
    ASSERT_EQ(::rmdir((dir / "d").c_str()), 0);
    ASSERT_EQ(::symlink(outside.Path().c_str(), (dir / "d").c_str()), 0);
    EXPECT_FALSE(fs.ListDir(dir / "d", names));
    EXPECT_TRUE(names.empty());

    // Deeper than the directories a scan keeps open: those below are listed and examined by
    // their whole paths.
    std::string deep = dir / "deep";
    for (int level = 0; level < 80; ++level) {
        deep += "/d";
        dir.Write(deep.substr(dir.Path().size() + 1) + "/f.txt", "x");
    }
    std::string path = dir / "deep";
    for (int level = 0; level <= 80; ++level) {
        ASSERT_TRUE(fs.ListDir(path, names)) << level;
        if (level > 0) {
            EXPECT_EQ(size(path + "/f.txt"), 1) << level;
        }
        path += "/d";
    }
    fs.EndScan();

    // After the scan, whole paths again; the top directory of a run may still be a link.
    ASSERT_TRUE(fs.ListDir(dir / "d", names));
    EXPECT_EQ(names, std::vector<std::string>{"secret.txt"});
    EXPECT_EQ(size(dir / "a/b/two.txt"), 5);
}

// A failure keeps its own errno: a later failure of another call does not change it.
TEST(PosixFile, EachFailureCarriesItsErrno) {
    CTempDir d;
    std::string from = d.Write("from", "1");
    std::string to = d.Write("to", "2");
    CFileSystem& fs = RealFileSystem();
    CResult exists = fs.RenameNoReplace(from, to);
    CResult missing = fs.Remove(d / "none");
    EXPECT_FALSE(exists);
    EXPECT_EQ(exists.Error(), EEXIST);
    EXPECT_EQ(missing.Error(), ENOENT);
    EXPECT_EQ(MoveFileNoReplace(fs, from, to).Error(), EEXIST);
    std::string text;
    EXPECT_EQ(ReadWholeFile(fs, d / "none", text).Error(), ENOENT);
    EXPECT_EQ(ReadWholeFile(fs, d.Path(), text).Error(), EINVAL);  // not a regular file
    std::unique_ptr<CDir> dir = fs.OpenDir(d.Path());
    ASSERT_TRUE(dir);
    CResult ok = dir->SetMode("from", 0644);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ok.Error(), 0);

    // Failures the double injects come back the same way, through a safe rewrite too.
    CFaultyFileSystem faulty;
    std::unique_ptr<CDir> faultyDir = faulty.OpenDir(d.Path());
    ASSERT_TRUE(faultyDir);
    faulty.FailOn(Op::Replace, 1, "", ENOSPC);
    EXPECT_EQ(faultyDir->Replace("from", "to").Error(), ENOSPC);
    faulty.FailOn(Op::SetMode, 1, "", EPERM);
    CSafeRewrite rewrite(*faultyDir, "to");
    ASSERT_TRUE(rewrite.Begin());
    ASSERT_TRUE(rewrite.Write("3"));
    EXPECT_EQ(rewrite.Commit(0644).Error(), EPERM);
    EXPECT_EQ(rewrite.LastFailure(), CSafeRewrite::COMMIT);
    EXPECT_EQ(ReadFile(to), "2");
    faulty.FailOn(Op::CreateTemp, 1, "", EMFILE);
    CSafeRewrite refused(*faultyDir, "to");
    EXPECT_EQ(refused.Begin().Error(), EMFILE);
}

}  // namespace ts::test

namespace ts::test {

// A link gets its new text in one step; anything that is not a link is refused and kept, and
// no temporary link stays behind either way.
TEST(PosixLinks, ReplaceLinkSwapsTheTextAndRefusesOtherEntries) {
    CTempDir dir;
    CFileSystem& fs = RealFileSystem();
    dir.Write("a.html", "a\n");
    ASSERT_EQ(::symlink("old target", (dir / "l").c_str()), 0);
    std::unique_ptr<CDir> d = fs.OpenDir(dir.Path());
    ASSERT_TRUE(d);
    std::string text;
    ASSERT_TRUE(d->ReadLink("l", text));
    EXPECT_EQ(text, "old target");
    const std::string longText(1000, 'x');
    ASSERT_TRUE(d->ReplaceLink("l", longText));
    ASSERT_TRUE(fs.ReadLink(dir / "l", text));
    EXPECT_EQ(text, longText);
    CResult r = d->ReplaceLink("a.html", "l");
    EXPECT_FALSE(r);
    EXPECT_EQ(r.Error(), EINVAL);
    EXPECT_EQ(ReadFile(dir / "a.html"), "a\n");
    EXPECT_FALSE(fs.ReadLink(dir / "a.html", text));
    EXPECT_EQ(d->ReplaceLink("none", "x").Error(), ENOENT);
    EXPECT_EQ(ListNames(dir.Path()).find(".ts_"), std::string::npos) << ListNames(dir.Path());
}

}  // namespace ts::test
