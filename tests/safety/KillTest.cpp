// A run killed with SIGKILL at any point (nothing of the program runs after it) leaves a tree
// that --undo gives back byte for byte: every path, content, link text and mode as before the
// run. Until then a new run of the directory refuses to start and says what to type. A run
// stopped by Ctrl+C is undone the same way, and so is one whose pages the user edited since:
// his edit stays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/StopSignals.h"
#include "support/CliRunner.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"
#include "support/TreeSnapshot.h"

namespace ts::test {
namespace {

namespace stdfs = std::filesystem;

// Every entry with its mode, and a file's content or a link's text.
std::string Snapshot(const std::string& dir) {
    return TreeSnapshot(dir);
}

// Pages in directories with blanks and mixed case that link to each other, text files with
// CR LF and one with every kind of line end, a read-only page and a link to a page: every kind
// of change a run makes, in more than one batch.
void WriteSite(const CTempDir& root) {
    std::string index;
    for (int d = 0; d < 4; ++d) {
        const std::string dir = "Sub Dir " + std::to_string(d);
        for (int p = 0; p < 50; ++p) {
            const std::string page = "Page " + std::to_string(p) + ".html";
            index += "<a href=\"" + dir + "/" + page + "\">" + page + "</a>\r\n";
            root.Write("site/" + dir + "/" + page,
                       "<p>" + page +
                           "</p>\r\n<a href=\"../index.html\">home</a>\r\n<a href=\"Page " +
                           std::to_string((p + 1) % 50) + ".html\">next</a>\r\n");
        }
        root.Write("site/" + dir + "/Notes " + std::to_string(d) + ".txt", "one\r\ntwo\r\n");
    }
    root.Write("site/index.html", index + "<a href=\"Locked Page.html\">locked</a>\r\n");
    root.Write("site/Mixed Ends.txt", "a\r\nb\nc\rd\n");
    const std::string locked =
        root.Write("site/Locked Page.html", "<a href=\"index.html\">x</a>\r\n");
    ::chmod(locked.c_str(), 0444);
    ::symlink("Sub Dir 1/Page 1.html", (root / "site/Shortcut.html").c_str());
}

const std::vector<std::string> kRunArgs = {"--target",      "dos",    "--rename",    "--yes",
                                           "--line-ends",   "unix",   "--read-only", "convert",
                                           "--no-external", "--home", "index.html"};

bool Changes(Op op) {
    return op == Op::Rename || op == Op::Write || op == Op::SetMode || op == Op::ReplaceLink ||
           op == Op::OpenWrite || op == Op::Sync;
}

// A write to a file of the site (not to a report or the journal).
bool SiteWrite(Op op, const std::string& path) {
    return op == Op::Write && path.find("/site/") != std::string::npos;
}

// Runs tessary-cli on site in a child process that sends itself sig at its at-th call that
// counts.
int RunKilled(const std::string& site, long at,
              const std::function<bool(Op, const std::string&)>& counts, int sig) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        InstallStopSignals();
        CFaultyFileSystem fs;
        long n = 0;
        fs.onCall = [&](Op op, const std::string& path) {
            if (counts(op, path) && ++n == at) ::kill(::getpid(), sig);
        };
        std::vector<std::string> args = kRunArgs;
        args.push_back(site);
        RunCliWith(args, "", false, fs);
        std::_Exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

}  // namespace

TEST(Kill, EveryKilledRunIsUndoneByteForByte) {
    // The runner's profile directory is made here, not in a child that may die before.
    RunCliWith({"--help"}, "", false);
    CTempDir clean;
    WriteSite(clean);
    long changing = 0, calls = 0;
    {
        CFaultyFileSystem fs;
        fs.onCall = [&](Op op, const std::string&) {
            ++calls;
            if (Changes(op)) ++changing;
        };
        std::vector<std::string> args = kRunArgs;
        args.push_back(clean / "site");
        // Unused text files are problems, not failures.
        ASSERT_LE(RunCliWith(args, "", false, fs).code, 1);
    }
    ASSERT_GT(changing, 500);

    // Two kills while the tree is read, the others spread over every call that changes it.
    std::vector<std::pair<long, bool>> points = {{calls / 50, false}, {calls / 10, false}};
    const int spread = 22;
    for (int i = 0; i < spread; ++i)
        points.push_back({1 + i * (changing - 1) / (spread - 1), true});
    bool refusalSeen = false;
    for (const auto& [at, isChanging] : points) {
        SCOPED_TRACE((isChanging ? "changing call " : "call ") + std::to_string(at));
        CTempDir root;
        WriteSite(root);
        const std::string site = root / "site";
        const std::string before = Snapshot(site);
        const int status = RunKilled(
            site, at,
            [changes = isChanging](Op op, const std::string&) { return !changes || Changes(op); },
            SIGKILL);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        const bool changed = Snapshot(site) != before;
        if (changed && !refusalSeen) {
            // A new run refuses to start, says why and what to type, and changes nothing.
            const std::string mid = Snapshot(site);
            std::vector<std::string> args = kRunArgs;
            args.push_back(site);
            CliResult again = RunCliWith(args, "", false);
            EXPECT_NE(again.code, 0);
            EXPECT_NE(again.err.find("did not finish"), std::string::npos) << again.err;
            EXPECT_NE(again.err.find("tessary-cli --undo " + site), std::string::npos) << again.err;
            EXPECT_EQ(Snapshot(site), mid);
            refusalSeen = true;
        }
        CliResult undo = RunCliWith({"--undo", site}, "", false);
        EXPECT_SAME_TREE(Snapshot(site), before) << undo.err;
        // A write the kill cut short is neither the run's content nor the original: undo keeps
        // it (an undo of the undo gives it back) and names it.
        const bool kept = undo.out.find("neither the run's nor its original") != std::string::npos;
        if (changed) {
            EXPECT_EQ(undo.code, kept ? 1 : 0) << undo.err;
            EXPECT_NE(undo.out.find("REVERTED FILES TO INITIAL STATE"), std::string::npos);
        }
        // Nothing is left to undo, and the directory can be run again.
        if (!kept) {
            EXPECT_EQ(RunCliWith({"--undo", site}, "", false).code, 2);
        }
    }
    EXPECT_TRUE(refusalSeen);
}

// Ctrl+C while line ends are converted: the run ends as cancelled, and undo gives back every
// name and byte, the mixed line ends of a file included. A page the user edits after the run
// keeps his edit and is named in an error line; everything else is still undone.
TEST(Kill, CancelledRunAndUserEditsAreUndoneAsTheyShouldBe) {
    RunCliWith({"--help"}, "", false);
    CTempDir root;
    WriteSite(root);
    const std::string site = root / "site";
    const std::string before = Snapshot(site);
    long writes = 0;
    {
        CTempDir probe;
        WriteSite(probe);
        CFaultyFileSystem fs;
        fs.onCall = [&](Op op, const std::string& path) { writes += SiteWrite(op, path); };
        std::vector<std::string> args = kRunArgs;
        args.push_back(probe / "site");
        RunCliWith(args, "", false, fs);
    }
    // SIGINT halfway through the writes; the child ends by itself, as a cancelled run.
    const int status = RunKilled(site, writes / 3, SiteWrite, SIGINT);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    ASSERT_FALSE(Snapshot(site) == before);
    CliResult undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(undo.code, 0) << undo.err;
    EXPECT_SAME_TREE(Snapshot(site), before);

    // A complete run, then the user edits a renamed page before the undo.
    std::vector<std::string> args = kRunArgs;
    args.push_back(site);
    ASSERT_LE(RunCliWith(args, "", false).code, 1);
    EXPECT_EQ(ReadFile(site + "/MIXEDEND.TXT"), "a\nb\nc\nd\n");
    const std::string edited = site + "/SUBDIR2/PAGE7.HTM";
    ASSERT_TRUE(Exists(edited));
    root.Write("site/SUBDIR2/PAGE7.HTM", "<p>mine</p>\n");
    undo = RunCliWith({"--undo", site}, "", false);
    EXPECT_EQ(undo.code, 1) << undo.out;
    EXPECT_NE(undo.out.find(edited + "    changed since the run, left as it is"), std::string::npos)
        << undo.out;
    EXPECT_EQ(ReadFile(site + "/Mixed Ends.txt"), "a\r\nb\nc\rd\n");
    // The page got its name back (it is the same file) and kept the user's text; everything
    // else is as it was.
    std::string expected = before;
    const std::string key = "/Sub Dir 2/Page 7.html 420 = ";
    const size_t at = expected.find(key);
    ASSERT_NE(at, std::string::npos);
    const size_t end = expected.find("\n/", at + key.size());
    expected.replace(at + key.size(), end - at - key.size(), "<p>mine</p>\n");
    EXPECT_SAME_TREE(Snapshot(site), expected);
}

}  // namespace ts::test
