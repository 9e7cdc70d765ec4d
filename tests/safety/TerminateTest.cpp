// SIGTERM in each pass of a run ends it like a cancel: a partial report, exit status 3, every
// file either as it was or wholly changed, no temporary file anywhere. And the temporary files
// that a killed run could not remove are recognised by the next run and removed when they are
// provably that run's.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/StopSignals.h"
#include "support/CliRunner.h"
#include "support/EndedProcess.h"
#include "support/EnvVar.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const char kIndex[] =
    "<a href=\"Page One.html\">1</a> <a href=\"sub/Page Two.html\">2</a>\n"
    "<a href=\"notes one.txt\">n</a>\n";

void WriteSite(const CTempDir& root) {
    root.Write("site/index.html", kIndex);
    root.Write("site/Page One.html", "<a href=\"sub/Page Two.html\">2</a>\n");
    root.Write("site/sub/Page Two.html", "<a href=\"../Page One.html\">1</a>\n");
    for (int i = 0; i < 6; ++i)
        root.Write("site/sub/notes file " + std::to_string(i) + ".txt", "a\r\nb\r\n");
    root.Write("site/notes one.txt", "a\r\nb\r\n");
    root.Write("beside/notes.txt", "someone else's\r\n");
}

// Every file of the tree is as it was or wholly changed: text files have one kind of line
// end, pages name their links one way or the other.
void ExpectWholeFiles(const std::string& listing) {
    EXPECT_EQ(listing.find(".ts_"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("a\r\nb\n"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("a\nb\r\n"), std::string::npos) << listing;
}

}  // namespace

TEST(Terminate, SigtermInEachPassEndsTheRunWholeAndReportsIt) {
    struct Trigger {
        const char* pass;
        Op op;
        const char* pathPart;
        int nth;
    };
    const Trigger triggers[] = {
        {"scan", Op::ListDir, "", 2},
        {"renaming", Op::Rename, "", 2},
        {"line ends", Op::Write, ".TXT", 2},
        {"links", Op::Write, ".HTM", 1},
    };
    // The runner keeps its profile in a temporary directory of its own, made on first use.
    RunCliWith({"--help"}, "", false);
    for (const Trigger& t : triggers) {
        CTempDir root, tmp;
        WriteSite(root);
        const std::string beside = TreeListing(root / "beside", true);
        const std::string reports = tmp.Mkdir("reports");
        CEnvVar tmpVar("TMP", reports.c_str());
        CFaultyFileSystem fs;
        int seen = 0;
        fs.onCall = [&](Op op, const std::string& path) {
            if (op == t.op && path.find(t.pathPart) != std::string::npos && ++seen == t.nth)
                ::raise(SIGTERM);
        };
        InstallStopSignals();
        StopSignalled() = false;
        CliResult r = RunCliWith({"--target", "dos", "--rename", "--yes", "--line-ends", "unix",
                                  "--home", "index.html", root / "site"},
                                 "", false, fs);
        StopSignalled() = false;
        ::signal(SIGTERM, SIG_DFL);
        SCOPED_TRACE(t.pass);
        EXPECT_GE(seen, t.nth);
        EXPECT_EQ(r.code, 3) << r.out << r.err;
        EXPECT_TRUE(r.out.starts_with("PARTIAL REPORT:  TERMINATED EARLY BY USER\n")) << r.out;
        ExpectWholeFiles(TreeListing(root / "site", true));
        EXPECT_EQ(TreeListing(root / "beside", true), beside);
        EXPECT_EQ(ListNames(reports), "");
    }
}

TEST(Terminate, TemporaryFilesOfAKilledRunAreRemovedOnlyWhenProvablyItsOwn) {
    CTempDir root;
    WriteSite(root);
    const std::string site = root / "site";
    const std::string dead = std::to_string(EndedPid());
    const std::string alive = std::to_string(::getpid());
    // Left by a run that was killed: a copy being written, a new link not yet renamed.
    root.Write("site/sub/.ts_" + dead + "_aB3xYz", "half a pa");
    ASSERT_EQ(::symlink("Page Two.html", (site + "/.ts_link_" + dead + "_q1w2e3").c_str()), 0);
    // Not provably a leftover: a run still going on, a file in the middle of a change of case,
    // a name of another form, a leftover that other names share.
    root.Write("site/.ts_" + alive + "_aB3xYz", "another run's copy");
    root.Write("site/.ts_case_" + dead + "_0", "the user's page, half renamed");
    root.Write("site/.ts_notes", "the user's");
    root.Write("site/.ts_" + dead + "_shared", "shared");
    ASSERT_EQ(::link((site + "/.ts_" + dead + "_shared").c_str(), (root / "other").c_str()), 0);

    CliResult r = RunCliWith({"--home", "index.html", site}, "", false);
    const std::string names = ListNames(site) + ListNames(site + "/sub");
    EXPECT_EQ(names.find(".ts_" + dead + "_aB3xYz"), std::string::npos) << names;
    EXPECT_EQ(names.find(".ts_link_"), std::string::npos) << names;
    for (const std::string& kept : {".ts_" + alive + "_aB3xYz", ".ts_case_" + dead + "_0",
                                    std::string(".ts_notes"), ".ts_" + dead + "_shared"})
        EXPECT_NE(names.find(kept), std::string::npos) << kept;
    const std::string removed = "    temporary file of an interrupted run, removed";
    EXPECT_NE(r.out.find(site + "/sub/.ts_" + dead + "_aB3xYz" + removed), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(site + "/.ts_link_" + dead + "_q1w2e3" + removed), std::string::npos)
        << r.out;
    // None of them is a site file: not listed as unused, not renamed.
    EXPECT_EQ(r.out.find(".ts_case_"), std::string::npos) << r.out;
}

}  // namespace ts::test
