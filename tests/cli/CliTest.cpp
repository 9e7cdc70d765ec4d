// tessary-cli: exit statuses, refusals, the profile options, the report file, temporary
// directories, and Ctrl+C, in-process and as a real program.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli/Cli.h"
#include "cli/TerminalUi.h"
#include "platform/StopSignals.h"
#include "support/CliRunner.h"
#include "support/EnvVar.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const std::string kPage = "<html><head><title>Home</title></head><body>Hi</body></html>\n";

std::string ReadAll(std::FILE* f) {
    std::string out;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    std::fclose(f);
    return out;
}

struct Result {
    int status = -1;
    std::string out, err;
};

class CliTest : public ::testing::Test {
protected:
    CliTest()
        : profile("TESSARY_PROFILE", (home / "tessary.ini").c_str()),
          tmpVar("TMP", tmp.Path().c_str()),
          tmpDirVar("TMPDIR", nullptr) {
        StopSignalled() = false;
        site.Write("index.html", kPage);
        site.Write("notes.txt", "plain\n");
    }

    Result Run(std::vector<std::string> args, CFileSystem& fs = RealFileSystem()) {
        std::vector<const char*> argv{"tessary-cli"};
        for (const auto& a : args)
            argv.push_back(a.c_str());
        CliStreams io;
        io.in = std::tmpfile();
        io.out = std::tmpfile();
        io.err = std::tmpfile();
        Result r;
        r.status = RunCli(static_cast<int>(argv.size()), argv.data(), io, fs);
        std::fclose(io.in);
        r.out = ReadAll(io.out);
        r.err = ReadAll(io.err);
        return r;
    }

    // A refused command line: status 2, one line on standard error, nothing else done.
    void ExpectRefused(std::vector<std::string> args, const std::string& reason) {
        std::string before = TreeListing(site.Path(), true);
        Result r = Run(args);
        EXPECT_EQ(r.status, EXIT_USAGE) << reason;
        EXPECT_TRUE(r.err.starts_with("tessary-cli: " + reason + "\n")) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(TreeListing(site.Path(), true), before);
        EXPECT_EQ(ListNames(tmp.Path()), "");
    }

    CTempDir site, home, tmp;
    CEnvVar profile, tmpVar, tmpDirVar;
};

}  // namespace

TEST_F(CliTest, ExitStatusesOfCompletedAndEndedRuns) {
    Result r = Run({"--no-unused", site.Path()});
    EXPECT_EQ(r.status, EXIT_CLEAN) << r.err;
    EXPECT_TRUE(r.out.starts_with("REPORT FROM SUCCESSFUL PASS\n\nThis site looks totally clean!"));
    EXPECT_NE(
        r.out.find("Directory:  " + site.Path() + "\nHome Page:  " + site.Path() + "/index.html\n"),
        std::string::npos);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ListNames(tmp.Path()), "");

    // A hidden file skipped as it should be is listed, but is a note, not a problem.
    site.Write(".htaccess", "Deny from all\n");
    r = Run({"--no-unused", site.Path()});
    EXPECT_EQ(r.status, EXIT_CLEAN);
    EXPECT_NE(r.out.find("There were file permissions errors"), std::string::npos);
    r = Run({"--no-links", "--target", "unix", site.Path()});
    EXPECT_EQ(r.status, EXIT_CLEAN);
    // Names the target cannot hold, only suggested, are a problem.
    r = Run({"--no-links", "--target", "dos", site.Path()});
    EXPECT_EQ(r.status, EXIT_PROBLEMS);

    // A home page the scan does not reach ends the run early, with the partial report.
    site.Write("sub/page.htm", kPage);
    r = Run({"--no-subdirs", "--home", "sub/page.htm", site.Path()});
    EXPECT_EQ(r.status, EXIT_EARLY);
    EXPECT_TRUE(r.out.starts_with("PARTIAL REPORT:  TERMINATED EARLY BY USER\n"));
    EXPECT_TRUE(r.out.ends_with("Home Page: \"" + site.Path() + "/sub/page.htm\" not found!\n"));

    // Ctrl+C sets the cancel flag: a user cancel with a partial report.
    StopSignalled() = true;
    r = Run({"--no-links", "--target", "unix", site.Path()});
    EXPECT_EQ(r.status, EXIT_EARLY);
    EXPECT_TRUE(r.out.starts_with("PARTIAL REPORT:  TERMINATED EARLY BY USER\n"));
    StopSignalled() = false;
    EXPECT_EQ(ListNames(tmp.Path()), "");
}

TEST_F(CliTest, RefusalsAreTheWizardsWithStatusTwo) {
    const std::string d = site.Path();
    ExpectRefused({"--no-links", d},
                  "You have not chosen any actions! Select either a filename convention for "
                  "renaming, a line end convention for updating ASCII files, the option to check "
                  "URL links in HTML files, or HTML file renaming.");
    ExpectRefused({"--home", "/elsewhere/index.html", d},
                  "Home Page is not in directory \"" + d + "\"! Please enter a valid Home Page.");
    site.Write("bin.htm", "\x89PNG\r\n\x1A\n");
    site.Write("empty.htm", "");
    // A page or directory that is not there says so after the text.
    for (const char* page : {"bin.htm", "empty.htm", "missing.htm"})
        ExpectRefused({"--home", page, d},
                      "\"" + d + "/" + page +
                          "\" is not a valid ASCII file. Please enter a valid Home Page." +
                          (page[0] == 'm' ? " (No such file or directory)" : ""));
    ExpectRefused({d + "/missing"}, "Directory: \"" + d +
                                        "/missing\" is not valid. Please enter a valid "
                                        "directory. (No such file or directory)");
    ExpectRefused({d + "/notes.txt"}, "File: \"" + d +
                                          "/notes.txt\" is not a directory. Please enter a valid "
                                          "directory.");
    const std::string empty = home.Mkdir("empty");
    ExpectRefused({empty},
                  "Directory: \"" + empty + "\" is empty. Please select a different directory.");
    ExpectRefused({}, "Directory string is empty! Please enter directory name.");
    const std::string noHome = DirName(home.Write("nohome/a.txt", "x\n"));
    ExpectRefused({noHome},
                  "Home Page string is empty! Please enter Home Page name. (give --home PAGE, or "
                  "--no-links)");

    // Without a terminal nobody can confirm a run that changes files.
    Result r = Run({"--line-ends", "unix", d});
    EXPECT_EQ(r.status, EXIT_USAGE);
    EXPECT_NE(r.err.find("add --yes"), std::string::npos);
    EXPECT_EQ(r.out, "");
    r = Run({"--line-ends", "unix", "--yes", "--no-unused", d});
    EXPECT_EQ(r.status, EXIT_CLEAN) << r.err;

    r = Run({"--target", "bogus", d});
    EXPECT_EQ(r.status, EXIT_USAGE);
    EXPECT_TRUE(r.err.starts_with("tessary-cli: "));
    EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, ProfileOptions) {
    const std::string ini = home / "tessary.ini";
    home.Write("tessary.ini",
               "[Settings]\nTarget=6\nDirectory=" + site.Path() +
                   "\nMystery=keep\nAutoReadOnly=0\n[HTMLSettings]\nFilesOnly=1\n[Font]\nFace=x\n");
    // The stored directory and settings, without a DIRECTORY argument.
    Result r = Run({"--use-profile"});
    EXPECT_EQ(r.status, EXIT_CLEAN) << r.err;
    EXPECT_NE(r.out.find("Directory:  " + site.Path() + "\n"), std::string::npos);
    EXPECT_NE(r.out.find("Filename convention: UNIX\n"), std::string::npos);
    EXPECT_NE(r.out.find("Do not check URL references\n"), std::string::npos);

    // Another directory than the stored one gets its own home page, the same one keeps it.
    site.Write("start.htm", kPage);
    home.Write("other.ini", "[Settings]\nDirectory=" + home.Path() +
                                "\n[HTMLSettings]\nHomePage=" + home.Path() + "/old.htm\n");
    {
        CEnvVar other("TESSARY_PROFILE", (home / "other.ini").c_str());
        r = Run({"--use-profile", "--no-unused", site.Path()});
        EXPECT_EQ(r.status, EXIT_CLEAN) << r.err;
        EXPECT_NE(r.out.find("Home Page:  " + site.Path() + "/index.html\n"), std::string::npos);
        home.Write("other.ini", "[Settings]\nDirectory=" + site.Path() +
                                    "/\n[HTMLSettings]\nHomePage=" + site.Path() + "/start.htm\n");
        r = Run({"--use-profile", "--no-unused", site.Path()});
        EXPECT_NE(r.out.find("Home Page:  " + site.Path() + "/start.htm\n"), std::string::npos);
    }

    // Saving stores what was chosen (not what the missing terminal forced) and keeps the rest.
    r = Run({"--use-profile", "--save-settings", "--target", "dos", "--line-ends", "dos", "--yes"});
    // The DOS names are only suggested (Rename is off in the profile): a problem to fix.
    EXPECT_EQ(r.status, EXIT_PROBLEMS) << r.err;
    std::string saved = ReadFile(ini);
    for (const char* line : {"Target=2\n", "LineEnd=1\n", "Mystery=keep\n", "AutoReadOnly=0\n",
                             "FilesOnly=1\n", "[Font]\nFace=x\n"})
        EXPECT_NE(saved.find(line), std::string::npos) << line << saved;
    EXPECT_NE(saved.find("Directory=" + site.Path() + "\n"), std::string::npos);

    // A profile that cannot be written: a warning, and the run goes on.
    home.Write("plain", "a file, not a directory");
    CEnvVar blocked("TESSARY_PROFILE", (home / "plain/tessary.ini").c_str());
    r = Run({"--save-settings", "--no-links", "--target", "unix", site.Path()});
    EXPECT_EQ(r.status, EXIT_CLEAN);
    EXPECT_EQ(r.err, "tessary-cli: warning: could not store the settings in \"" +
                         (home / "plain/tessary.ini") + "\"; they are used for this run only\n");
    EXPECT_TRUE(r.out.starts_with("REPORT FROM SUCCESSFUL PASS\n"));
}

TEST_F(CliTest, ReportFileAndDirectoryForms) {
    CTempDir out;
    Result r = Run({"--no-links", "--target", "unix", "--report", out / "report.tsy", site.Path()});
    EXPECT_EQ(r.status, EXIT_CLEAN) << r.err;
    EXPECT_EQ(r.out, "");
    std::string report = ReadFile(out / "report.tsy");
    EXPECT_TRUE(report.starts_with("REPORT FROM SUCCESSFUL PASS\r\n"));
    EXPECT_NE(report.find("SUGGESTED NEW NAMES FOR FILES:"), std::string::npos);

    // A report file that cannot be written is an error that names the cause.
    r = Run({"--no-links", "--target", "unix", "--report", site / "notes.txt/r.tsy", site.Path()});
    EXPECT_EQ(r.status, EXIT_EARLY);
    EXPECT_NE(r.err.find("cannot write the report to \"" + site.Path() +
                         "/notes.txt/r.tsy\": Not a "
                         "directory"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out, "");
    // "-" is standard output, whose lines end in LF alone, as in any pipeline.
    r = Run({"--no-links", "--target", "unix", "--report", "-", site.Path()});
    EXPECT_EQ(r.status, EXIT_CLEAN);
    EXPECT_TRUE(r.out.starts_with("REPORT FROM SUCCESSFUL PASS\n\n"));
    EXPECT_EQ(r.out.find('\r'), std::string::npos);
    EXPECT_FALSE(Exists("-"));
    EXPECT_EQ(Run({"--quiet", "--no-links", "--target", "unix", site.Path()}).out, "");

    // A relative directory is made absolute; a trailing separator goes.
    std::vector<char> cwd(4096);
    ASSERT_NE(::getcwd(cwd.data(), cwd.size()), nullptr);
    ASSERT_EQ(::chdir(DirName(site.Path()).c_str()), 0);
    r = Run({"--no-links", "--target", "unix", "./" + BaseName(site.Path()) + "/"});
    ASSERT_EQ(::chdir(cwd.data()), 0);
    EXPECT_EQ(r.status, EXIT_CLEAN) << r.err;
    EXPECT_NE(r.out.find("Directory:  " + site.Path() + "\n"), std::string::npos);
}

TEST_F(CliTest, TemporaryDirectory) {
    // TMP naming no directory falls back to TMPDIR.
    CTempDir other;
    {
        CEnvVar tmpVar2("TMP", (tmp / "missing").c_str()), dirVar("TMPDIR", other.Path().c_str());
        Result r = Run({"--no-links", "--target", "unix", site.Path()});
        EXPECT_EQ(r.status, EXIT_CLEAN) << r.err;
        EXPECT_NE(r.out.find("REPORT FROM SUCCESSFUL PASS"), std::string::npos);
        // The final report is copied out of its temporary file, which then goes.
        EXPECT_EQ(ListNames(other.Path()), "");
    }
    // A temporary directory that refuses files: message 299, no report, status 3.
    CEnvVar proc("TMP", "/proc");
    Result r = Run({"--no-links", "--target", "unix", site.Path()});
    EXPECT_EQ(r.status, EXIT_EARLY);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(
        r.err.starts_with("Tessary: Error creating status report file!\nCould not coninue."))
        << r.err;
    EXPECT_EQ(TreeListing(site.Path(), false), "index.html\nnotes.txt\n");
}

// The real program: exit statuses and Ctrl+C.
class CliProcessTest : public CliTest {
protected:
    struct Child {
        pid_t pid = -1;
        int out = -1, err = -1;
    };

    Child Spawn(const std::vector<std::string>& args) {
        int outPipe[2], errPipe[2];
        EXPECT_EQ(::pipe2(outPipe, O_CLOEXEC), 0);
        EXPECT_EQ(::pipe2(errPipe, O_CLOEXEC), 0);
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&fa, outPipe[1], 1);
        posix_spawn_file_actions_adddup2(&fa, errPipe[1], 2);
        Child c;
        EXPECT_EQ(SpawnCli(args, fa, c.pid), 0);
        posix_spawn_file_actions_destroy(&fa);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        c.out = outPipe[0];
        c.err = errPipe[0];
        return c;
    }

    // Reads both pipes to their end and waits for the program.
    Result Finish(Child& c) {
        Result r;
        pollfd fds[2] = {{c.out, POLLIN, 0}, {c.err, POLLIN, 0}};
        std::string* sinks[2] = {&r.out, &r.err};
        int open = 2;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (open > 0 && std::chrono::steady_clock::now() < deadline) {
            if (::poll(fds, 2, 1000) <= 0) continue;
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
                char buf[65536];
                ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
                if (n > 0) {
                    sinks[i]->append(buf, static_cast<size_t>(n));
                } else {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
        if (open > 0) ::kill(c.pid, SIGKILL);
        ::waitpid(c.pid, &r.status, 0);
        return r;
    }

    Result RunProcess(const std::vector<std::string>& args) {
        Child c = Spawn(args);
        return Finish(c);
    }

    // A run that stays in its scan, blocked on a full standard error, until the test reads it:
    // the notices about many skipped entries fill the pipe.
    Child StartBlockedRun() {
        site.Mkdir("specials");
        for (int i = 0; i < 2000; ++i)
            ::symlink("nowhere",
                      (site / ("specials/dangling-link-number-" + std::to_string(i))).c_str());
        Child c = Spawn({"--notify-special", "--no-links", "--target", "unix", site.Path()});
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        int queued = 0;
        while (queued < 60000 && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ::ioctl(c.err, FIONREAD, &queued);
        }
        EXPECT_GE(queued, 60000);
        return c;
    }
};

TEST_F(CliProcessTest, ExitStatuses) {
    Result r = RunProcess({"--no-unused", site.Path()});
    ASSERT_TRUE(WIFEXITED(r.status));
    EXPECT_EQ(WEXITSTATUS(r.status), 0) << r.err;
    EXPECT_TRUE(r.out.starts_with("REPORT FROM SUCCESSFUL PASS\n"));

    r = RunProcess({site / "missing"});
    EXPECT_EQ(WEXITSTATUS(r.status), 2);
    EXPECT_EQ(r.err, "tessary-cli: Directory: \"" + (site / "missing") +
                         "\" is not valid. Please enter a valid directory. (No such file or "
                         "directory)\n");
    EXPECT_EQ(r.out, "");

    CEnvVar proc("TMP", "/proc");
    r = RunProcess({"--no-unused", site.Path()});
    EXPECT_EQ(WEXITSTATUS(r.status), 3);
    EXPECT_NE(r.err.find("Error creating status report file!"), std::string::npos);
}

// A closed terminal (SIGHUP) or a shutdown (SIGTERM) ends the run as Ctrl+C does.
TEST_F(CliProcessTest, CtrlCTermAndHangUpEndTheRunWithAPartialReport) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        Child c = StartBlockedRun();
        ASSERT_EQ(::kill(c.pid, sig), 0);
        Result r = Finish(c);
        ASSERT_TRUE(WIFEXITED(r.status)) << sig << " " << r.status;
        EXPECT_EQ(WEXITSTATUS(r.status), 3);
        EXPECT_TRUE(r.out.starts_with("PARTIAL REPORT:  TERMINATED EARLY BY USER\n")) << r.out;
        EXPECT_EQ(ListNames(tmp.Path()), "");
    }
}

TEST_F(CliProcessTest, SecondCtrlCEndsTheProcess) {
    Child c = StartBlockedRun();
    ASSERT_EQ(::kill(c.pid, SIGINT), 0);
    // The first one is handled; the run is still blocked on its full standard error.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ASSERT_EQ(::kill(c.pid, SIGINT), 0);
    Result r = Finish(c);
    ASSERT_TRUE(WIFSIGNALED(r.status)) << r.status;
    EXPECT_EQ(WTERMSIG(r.status), SIGINT);
}

}  // namespace ts::test
