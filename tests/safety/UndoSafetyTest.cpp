// Undo through the command line never destroys an original: content too large to change in
// place comes back byte for byte with its time, a forged journal cannot reach outside the
// tree, an undo killed at any point is finished by the next one, and files the user changed
// since the run keep the journal until he forces or forgets it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/ContentHash.h"
#include "platform/StopSignals.h"
#include "platform/Text.h"
#include "platform/TreeLock.h"
#include "support/CliRunner.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"
#include "support/TreeSnapshot.h"

namespace ts::test {
namespace {

namespace stdfs = std::filesystem;

// Every entry with its mode, modification time, and a file's content or a link's text.
std::string Snapshot(const std::string& dir) {
    return TreeSnapshot(dir, true);
}

void SetOldTime(const std::string& path) {
    const timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

// The journal folders of the runs of site, oldest first (other tests share the state folder).
std::vector<std::string> JournalFolders(const std::string& site) {
    std::vector<std::string> folders;
    const std::string runs = std::string(std::getenv("XDG_STATE_HOME")) + "/tessary/runs";
    if (!stdfs::exists(runs)) return folders;
    for (const auto& tree : stdfs::directory_iterator(runs))
        for (const auto& run : stdfs::directory_iterator(tree.path())) {
            const std::string head = ReadFile(run.path().string() + "/journal");
            if (head.substr(0, head.find('\n')).find("\t" + site + "\t") != std::string::npos)
                folders.push_back(run.path().string());
        }
    std::sort(folders.begin(), folders.end());
    return folders;
}

// A record line as the program writes it, checksum and all: what a forger would write.
std::string Forged(const std::string& body) {
    return Format("%08x\t%zu\t", Crc32c(body.data(), body.size()), body.size()) + body + "\n";
}

std::string IdOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// Runs tessary-cli with args in a child process that kills itself (SIGKILL: nothing of it runs
// after) at the at-th write or rename of a file of the site; its wait status.
int RunKilledAt(const std::vector<std::string>& args, long at, bool renamesCount) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        CFaultyFileSystem fs;
        long n = 0;
        fs.onCall = [&](Op op, const std::string& path) {
            const bool counts = op == Op::Write || (renamesCount && op == Op::Rename);
            if (counts && path.find("/site/") != std::string::npos && ++n == at)
                ::kill(::getpid(), SIGKILL);
        };
        RunCliWith(args, "", false, fs);
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

}  // namespace

// A conversion of 11 MB goes through a temporary file; undo gives back its mixed line ends
// and its time, and so for a page rewritten in place.
TEST(UndoSafety, LargeFilesComeBackByteForByteWithTheirTimes) {
    CTempDir root;
    std::string big;
    for (int i = 0; i < 1000000; ++i)
        big += "0123456789\n";
    big += "last line\r\n";
    root.Write("site/data.txt", big);
    root.Write("site/index.html", "<a href=\"data.txt\">data</a>\n");
    const std::string site = root / "site";
    SetOldTime(site + "/data.txt");
    SetOldTime(site + "/index.html");
    const std::string before = Snapshot(site);
    CliResult run = RunCliWith({"--line-ends", "dos", "--yes", "--no-links", site}, "", false);
    ASSERT_LE(run.code, 1) << run.err;
    ASSERT_GT(ReadFile(site + "/data.txt").size(), big.size());
    CliResult undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(undo.code, 0) << undo.out << undo.err;
    EXPECT_SAME_TREE(Snapshot(site), before);
    EXPECT_TRUE(JournalFolders(site).empty());
}

// Records forged with valid checksums that name entries outside the tree, or lead there
// through a symbolic link, change nothing outside it: each is named as not valid, the real
// records are still undone, and the journal stays.
TEST(UndoSafety, AForgedJournalCannotLeadUndoOutOfTheTree) {
    CTempDir root;
    root.Write("site/Page One.html", "<p>one</p>\r\n");
    root.Write("site/index.html", "<a href=\"Page One.html\">1</a>\r\n");
    const std::string victim = root.Write("outside/victim.txt", "precious\n");
    root.Write("outside/x", "also precious\n");
    const std::string site = root / "site";
    ASSERT_EQ(::symlink("../outside", (site + "/way out").c_str()), 0);
    const std::string before = Snapshot(site);
    const std::string outsideBefore = Snapshot(root / "outside");
    ASSERT_LE(
        RunCliWith({"--target", "dos", "--rename", "--yes", "--no-external", site}, "", false).code,
        1);
    ASSERT_EQ(JournalFolders(site).size(), 1u);
    const std::string journal = JournalFolders(site)[0] + "/journal";
    const std::string topId = IdOf(site), victimId = IdOf(victim);
    const std::string hash = std::to_string(ContentHash("precious\n", 9));
    std::string forged;
    for (const std::string& target :
         {std::string("\t../outside/victim.txt"), std::string("..\t" + topId + "\tvictim.txt")}) {
        const std::string dirAndName = target[0] == '\t' ? "\t" + topId + target : target;
        forged += Forged("content\t" + dirAndName + "\t" + victimId + "\t" + victimId +
                         "\tlinks\t\t0\t0\t0\t3\t9\t" + hash + "\t0");
        forged += Forged("create\t" + dirAndName + "\t0:0\t0:0\tredirects\t\t0\t0\t0\t0\t9\t" +
                         hash + "\t0");
    }
    forged += Forged("content\tway out\t" + topId + "\tvictim.txt\t" + victimId + "\t" + victimId +
                     "\tlinks\t\t0\t0\t0\t3\t9\t" + hash + "\t0");
    forged +=
        Forged("rename\t\t" + topId + "\t../outside/x\t0:0\t0:0\tstolen\t\t0\t0\t0\t0\t0\t0\t0");
    std::ofstream(journal, std::ios::app) << forged;

    CliResult undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(Snapshot(root / "outside"), outsideBefore);
    EXPECT_EQ(Snapshot(site), before) << undo.out;
    EXPECT_NE(undo.code, 0);
    EXPECT_NE(undo.out.find("is damaged or not valid"), std::string::npos) << undo.out;
    EXPECT_FALSE(stdfs::exists(site + "/stolen"));
    EXPECT_EQ(JournalFolders(site).size(), 1u);
}

// An undo killed at any point (SIGKILL: nothing of it runs after) is finished by the next:
// every byte, name and time comes back, and what the killed undo left half written is known
// for its own work, not kept as an edit.
TEST(UndoSafety, AnUndoKilledAnywhereIsFinishedByTheNext) {
    RunCliWith({"--help"}, "", false);
    auto makeSite = [](const CTempDir& root) {
        std::string text;
        for (int i = 0; i < 4000; ++i)
            text += "line " + std::to_string(i) + " of some text\r\n";
        for (int f = 0; f < 24; ++f) {
            root.Write("site/Dir " + std::to_string(f % 3) + "/Notes " + std::to_string(f) + ".txt",
                       text + std::to_string(f));
            SetOldTime(root / ("site/Dir " + std::to_string(f % 3) + "/Notes " + std::to_string(f) +
                               ".txt"));
        }
        root.Write("site/index.html", "<a href=\"Dir 0/Notes 0.txt\">n</a>\r\n");
    };
    const std::vector<std::string> runArgs = {"--target",    "dos",  "--rename",     "--yes",
                                              "--line-ends", "unix", "--no-external"};
    auto siteWrite = [](Op op, const std::string& path) {
        return (op == Op::Write || op == Op::Rename) && path.find("/site/") != std::string::npos;
    };
    long writes = 0;
    {
        CTempDir probe;
        makeSite(probe);
        std::vector<std::string> args = runArgs;
        args.push_back(probe / "site");
        ASSERT_LE(RunCliWith(args, "", false).code, 1);
        CFaultyFileSystem fs;
        fs.onCall = [&](Op op, const std::string& path) { writes += siteWrite(op, path); };
        ASSERT_EQ(RunCliWith({"--undo", probe / "site"}, "", false, fs).code, 0);
    }
    ASSERT_GT(writes, 24);
    const int points = 12;
    for (int i = 0; i < points; ++i) {
        const long at = 1 + i * (writes - 1) / (points - 1);
        SCOPED_TRACE("undo killed at write " + std::to_string(at));
        CTempDir root;
        makeSite(root);
        const std::string site = root / "site";
        const std::string before = Snapshot(site);
        std::vector<std::string> args = runArgs;
        args.push_back(site);
        ASSERT_LE(RunCliWith(args, "", false).code, 1);
        const int status = RunKilledAt({"--undo", site}, at, true);
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        CliResult undo = RunCliWith({"--undo", site}, "", false);
        EXPECT_SAME_TREE(Snapshot(site), before) << undo.out.substr(0, 3000) << undo.err;
        EXPECT_EQ(undo.out.find("neither the run's"), std::string::npos) << undo.out;
        CliResult again = RunCliWith({"--undo", site}, "", false);
        EXPECT_EQ(again.code, 2) << again.out.substr(0, 4000) << again.err;
    }
}

// Files edited after the run are left, the journal stays ("partly undone"), and the report
// says how to go on: --undo --force puts the originals back and keeps the edits, which an undo
// of that undo gives back; --forget drops a journal on purpose.
TEST(UndoSafety, EditsAfterTheRunKeepTheJournalUntilForcedOrForgotten) {
    CTempDir root;
    root.Write("site/a.txt", "one\r\n");
    root.Write("site/b.txt", "two\r\n");
    root.Write("site/index.html", "<a href=\"a.txt\">a</a><a href=\"b.txt\">b</a>\r\n");
    const std::string site = root / "site";
    const std::vector<std::string> runArgs = {"--line-ends", "unix", "--yes", "--no-links", site};
    ASSERT_LE(RunCliWith(runArgs, "", false).code, 1);
    root.Write("site/a.txt", "mine\n");
    CliResult undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(undo.code, 1);
    // Named once, though the file had two changes.
    const std::string changed = "changed since the run, left as it is";
    const size_t line = undo.out.find(site + "/a.txt ");
    ASSERT_NE(line, std::string::npos) << undo.out;
    EXPECT_EQ(undo.out.find(changed), undo.out.find_first_not_of(' ', line + site.size() + 6));
    EXPECT_EQ(undo.out.find(changed, undo.out.find(changed) + 1), std::string::npos) << undo.out;
    EXPECT_NE(undo.out.find("tessary-cli --undo --force " + site), std::string::npos) << undo.out;
    EXPECT_EQ(ReadFile(site + "/b.txt"), "two\r\n");
    EXPECT_NE(RunCliWith({"--list-runs", site}, "", false).out.find("partly undone"),
              std::string::npos);
    // Forcing is a way of undoing only.
    EXPECT_EQ(RunCliWith({"--force", site}, "", false).code, 2);

    CliResult forced = RunCliWith({"--undo", "--force", site}, "", false);
    EXPECT_EQ(ReadFile(site + "/a.txt"), "one\r\n") << forced.out;
    EXPECT_NE(forced.out.find("neither the run's nor its original"), std::string::npos)
        << forced.out;
    EXPECT_NE(RunCliWith({"--list-runs", site}, "", false).out.find("kept by undo"),
              std::string::npos);
    CliResult back = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(back.code, 0) << back.out << back.err;
    EXPECT_EQ(ReadFile(site + "/a.txt"), "mine\n");
    EXPECT_EQ(RunCliWith({"--undo", site}, "", false).code, 2);

    ASSERT_LE(RunCliWith(runArgs, "", false).code, 1);
    root.Write("site/b.txt", "edited\n");
    EXPECT_EQ(RunCliWith({"--undo", site}, "", false).code, 1);
    CliResult forget = RunCliWith({"--forget", site}, "", false);
    EXPECT_EQ(forget.code, 0) << forget.err;
    EXPECT_NE(forget.out.find("can no longer be undone"), std::string::npos);
    EXPECT_EQ(RunCliWith({"--undo", site}, "", false).code, 2);
    EXPECT_TRUE(JournalFolders(site).empty());
    EXPECT_EQ(ReadFile(site + "/b.txt"), "edited\n");
}

// With the state folder inside the site, the run leaves it out (a note says so) rather than
// renaming it, and undo finds the journal where it was written.
TEST(UndoSafety, AStateFolderInsideTheTreeIsNotPartOfTheRun) {
    CTempDir root;
    root.Write("site/Page One.html", "<p>one</p>\r\n");
    root.Write("site/index.html", "<a href=\"Page One.html\">1</a>\r\n");
    const std::string site = root / "site";
    const std::string saved = std::getenv("XDG_STATE_HOME");
    ::setenv("XDG_STATE_HOME", (site + "/State Files").c_str(), 1);
    const std::string before = Snapshot(site);
    CliResult run =
        RunCliWith({"--target", "dos", "--rename", "--yes", "--no-external", site}, "", false);
    EXPECT_TRUE(stdfs::exists(site + "/State Files/tessary/runs")) << run.out;
    EXPECT_NE(run.out.find(site + "/State Files"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("left out of the scan"), std::string::npos) << run.out;
    EXPECT_TRUE(stdfs::exists(site + "/PAGEONE.HTM"));
    CliResult undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(undo.code, 0) << undo.out << undo.err;
    stdfs::remove_all(site + "/State Files");
    ::setenv("XDG_STATE_HOME", saved.c_str(), 1);
    EXPECT_SAME_TREE(Snapshot(site), before);
}

// One run per tree, nested trees included: a run of a subdirectory refuses to start while
// another process works on the directory above it, and while a run of that directory is
// unfinished; each refusal names the other directory (and the process), and nothing changes.
TEST(UndoSafety, RunsOfNestedTreesAreKeptApart) {
    RunCliWith({"--help"}, "", false);
    CTempDir root;
    for (int i = 0; i < 40; ++i)
        root.Write("site/Inner Dir/Note " + std::to_string(i) + ".txt", "a\r\nb\r\n");
    root.Write("site/index.html", "<a href=\"Inner Dir/Note 0.txt\">n</a>\r\n");
    const std::string site = root / "site", inner = site + "/Inner Dir";
    const std::vector<std::string> innerRun = {"--line-ends", "unix", "--yes", "--no-links", inner};
    const std::string before = Snapshot(site);

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        TreeHolder other;
        std::unique_ptr<CTreeLock> lock =
            CTreeLock::Take(TreeLockRegistry(), CanonicalPath(site), other);
        const char c = lock ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        ::pause();
        std::_Exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    CliResult refused = RunCliWith(innerRun, "", false);
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("(process " + std::to_string(holder) + ")"), std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find(site), std::string::npos) << refused.err;
    EXPECT_EQ(Snapshot(site), before);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    // The run of the directory above is killed halfway: the inner run waits for its undo.
    const int status = RunKilledAt({"--line-ends", "unix", "--yes", "--no-links", site}, 10, false);
    ASSERT_TRUE(WIFSIGNALED(status));
    refused = RunCliWith(innerRun, "", false);
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("did not finish"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("tessary-cli --undo " + site), std::string::npos) << refused.err;
    EXPECT_EQ(RunCliWith({"--undo", site}, "", false).code, 0);
    EXPECT_SAME_TREE(Snapshot(site), before);
    EXPECT_LE(RunCliWith(innerRun, "", false).code, 1);
    EXPECT_EQ(ReadFile(inner + "/Note 3.txt"), "a\nb\n");
}

// A flush of the disk that fails is a failure: the run is not called clean, its batch is not
// marked written, and an undo whose flush fails keeps the journal to be made again.
TEST(UndoSafety, AFailedSyncIsAFailureOfTheRunAndOfTheUndo) {
    CTempDir root;
    root.Write("site/a.txt", "one\r\n");
    root.Write("site/index.html", "<a href=\"a.txt\">a</a>\r\n");
    const std::string site = root / "site";
    const std::string before = Snapshot(site);
    CFaultyFileSystem runFs;
    runFs.FailOn(Op::Sync, 1, site);
    CliResult run =
        RunCliWith({"--line-ends", "unix", "--yes", "--no-external", site}, "", false, runFs);
    EXPECT_EQ(run.code, 1) << run.out;
    EXPECT_NE(run.out.find("changes could not be forced to the disk"), std::string::npos)
        << run.out;
    EXPECT_EQ(run.out.find("totally clean"), std::string::npos) << run.out;
    CFaultyFileSystem undoFs;
    undoFs.FailOn(Op::Sync, 1, site);
    CliResult undo = RunCliWith({"--undo", site}, "", false, undoFs);
    EXPECT_EQ(undo.code, 1) << undo.out;
    EXPECT_NE(undo.out.find("changes could not be forced to the disk"), std::string::npos)
        << undo.out;
    EXPECT_EQ(JournalFolders(site).size(), 1u);
    EXPECT_EQ(RunCliWith({"--undo", site}, "", false).code, 0);
    EXPECT_SAME_TREE(Snapshot(site), before);
    EXPECT_TRUE(JournalFolders(site).empty());
}

}  // namespace ts::test
