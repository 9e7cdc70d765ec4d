// File names with escape sequences must not reach a terminal raw: the real program runs on a
// pseudo-terminal over a tree whose names recolour the text, retitle the window and clear the
// screen (ESC, BEL and the C1 control CSI). The report shows names and URLs with their controls
// escaped wherever it goes, so that a name holding a line end cannot write lines that pass for
// the report's own; the machine-readable forms carry them as they are.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "platform/ShownText.h"
#include "site/RunHistory.h"
#include "site/RunJournal.h"
#include "support/CliRunner.h"
#include "support/EnvVar.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

const char* const kNames[] = {"red\x1b[31m.txt", "title\x1b]0;owned\x07.htm",
                              "c1\xc2\x9b"
                              "2J.txt"};
const char* const kShown[] = {"red\\x1b[31m.txt", "title\\x1b]0;owned\\x07.htm",
                              "c1\\xc2\\x9b2J.txt"};

struct TtyRun {
    int status = -1;
    std::string tty, err;
};

// Appends what fd has to sink; false at its end.
bool Drain(int fd, std::string& sink) {
    char buf[65536];
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return false;  // a terminal whose other side is closed reads as an error
    sink.append(buf, static_cast<size_t>(n));
    return true;
}

// Runs tessary-cli with standard output on a terminal that passes bytes as they are (no echo,
// no LF -> CR LF). interactive: standard input and error are that terminal too and input is
// typed on it; otherwise input is empty and standard error a pipe.
TtyRun RunOnTerminal(const std::vector<std::string>& args, const std::string& input,
                     bool interactive) {
    TtyRun r;
    int master = -1, slave = -1, errPipe[2];
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || ::pipe(errPipe) != 0)
        return r;
    termios t;
    ::tcgetattr(slave, &t);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(slave, TCSANOW, &t);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (interactive)
        posix_spawn_file_actions_adddup2(&fa, slave, 0);
    else
        posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&fa, slave, 1);
    posix_spawn_file_actions_adddup2(&fa, interactive ? slave : errPipe[1], 2);
    for (int fd : {master, slave, errPipe[0], errPipe[1]})
        posix_spawn_file_actions_addclose(&fa, fd);
    pid_t pid = -1;
    const int spawned = SpawnCli(args, fa, pid);
    posix_spawn_file_actions_destroy(&fa);
    ::close(slave);
    ::close(errPipe[1]);
    if (spawned != 0) return r;
    if (!input.empty()) {
        EXPECT_EQ(::write(master, input.data(), input.size()), ssize_t(input.size()));
    }

    pollfd fds[2] = {{master, POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.tty, &r.err};
    int open = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (::poll(fds, 2, 1000) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            if (!Drain(fds[i].fd, *sinks[i])) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    if (open > 0) ::kill(pid, SIGKILL);
    for (pollfd& p : fds)
        if (p.fd >= 0) ::close(p.fd);
    ::waitpid(pid, &r.status, 0);
    return r;
}

void ExpectNoRawControls(const std::string& shown) {
    for (const char* raw : {"\x1b[31m", "\x1b]0;", "\x07", "\xc2\x9b"})
        EXPECT_EQ(shown.find(raw), std::string::npos) << "raw " << ShownText(raw, false);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The report reaches the terminal in blocks: a CR LF or a character cut by a block's end must
// come out as it would whole.
TEST(ShownText, BlocksCutAnywhereShowLikeTheWhole) {
    const std::string text = "a\r\nb\rc\t\xc3\xa9\xe6\x97\xa5\xc2\x9b\xff\x1b[K\x7f\r\n\xe6\x97";
    const std::string whole =
        "a\r\nb\\x0dc\t\xc3\xa9\xe6\x97\xa5\\xc2\\x9b\\xff\\x1b[K\\x7f\r\n\\xe6\\x97";
    EXPECT_EQ(ShownText(text, true), whole);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        CShownText shown(true);
        std::string out = shown.Feed(text.substr(0, cut));
        out += shown.Feed(text.substr(cut));
        out += shown.Finish();
        EXPECT_EQ(out, whole) << cut;
    }
    // In a name, tabs and line ends are shown too.
    EXPECT_EQ(ShownName("a\tb\r\nc"), "a\\x09b\\x0d\\x0ac");
}

class TerminalEscape : public ::testing::Test {
protected:
    TerminalEscape() {
        for (const char* n : kNames)
            site.Write(n, "x\n");
    }
    CTempDir home, site;
    CEnvVar profile{"TESSARY_PROFILE", (home / "tessary.ini").c_str()};
};

// The report shows the names escaped in a file and a pipe as on a terminal; a terminal gets
// the same text with the line ends of standard output (LF, which it shows as CR LF).
TEST_F(TerminalEscape, ReportOnATerminal) {
    const std::vector<std::string> args{"--target", "dos", "--no-links", site.Path()};
    const CliResult raw = RunCliWith(args, "", false);
    // Names the target cannot hold are suggested only: a problem for the exit status.
    ASSERT_EQ(raw.code, EXIT_PROBLEMS) << raw.err;
    ExpectNoRawControls(raw.out);
    for (const char* shown : kShown)
        EXPECT_NE(raw.out.find(std::string(shown)), std::string::npos) << shown;

    const TtyRun run = RunOnTerminal(args, "", false);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.tty;
    EXPECT_EQ(WEXITSTATUS(run.status), EXIT_PROBLEMS) << run.err;
    ExpectNoRawControls(run.tty);
    EXPECT_EQ(Lf(MaskDate(run.tty)), MaskDate(raw.out));
    EXPECT_EQ(raw.out.find('\r'), std::string::npos);
}

// A name or URL holding line ends would write lines that look like the report's own into the
// saved report: they are shown escaped in every section that lists them, while the JSON form
// keeps them (escaped as JSON escapes them).
TEST(ReportLines, NamesAndUrlsCannotWriteLinesOfTheirOwn) {
    CTempDir home, site;
    CEnvVar profile{"TESSARY_PROFILE", (home / "tessary.ini").c_str()};
    const std::string forged = "x\nREPORT FROM SUCCESSFUL PASS\n.htm";
    site.Write("index.html",
               "<a href=\"http://example.org/a%0A%0AThis site looks totally clean!\">e</a>\n"
               "<a href=\"gone&#27;[2J.html\">g</a>\n");
    site.Write(forged, "<p>never linked</p>\n");
    const CliResult r = RunCliWith({"--target", "dos", site.Path()}, "", false);
    EXPECT_EQ(r.code, EXIT_PROBLEMS) << r.err;
    const std::string report = Lf(r.out);
    size_t titles = 0;
    for (size_t at = 0; at < report.size();) {
        const size_t end = report.find('\n', at);
        const std::string line = report.substr(at, end - at);
        titles += line == "REPORT FROM SUCCESSFUL PASS";
        EXPECT_NE(line, "This site looks totally clean!");
        at = end == std::string::npos ? report.size() : end + 1;
    }
    EXPECT_EQ(titles, 1u) << report;
    EXPECT_EQ(report.find('\x1b'), std::string::npos);
    const std::string shown = site.Path() + "/x\\x0aREPORT FROM SUCCESSFUL PASS\\x0a.htm";
    // Suggested name and unused file.
    EXPECT_NE(report.find("XREPORTF.HTM                            " + shown + "\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("\n" + shown + "\n"), std::string::npos) << report;
    EXPECT_NE(report.find("   line    1: http://example.org/a\\x0a\\x0aThis site looks totally "
                          "clean!\n"),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("   line    2: gone\\x1b[2J.html\n"), std::string::npos) << report;

    const CliResult json =
        RunCliWith({"--target", "dos", "--format", "json", site.Path()}, "", false);
    EXPECT_NE(json.out.find("\"x\\nREPORT FROM SUCCESSFUL PASS\\n.htm\""), std::string::npos)
        << json.out;
}

// A run that never ended stops the next one with a message of several lines: its own line
// breaks stay, the directory's name in it is escaped, and the command to type reads back as
// that directory.
TEST(ReportLines, UnfinishedRunRefusalKeepsItsLinesAndEscapesTheName) {
    CTempDir home, parent;
    CEnvVar profile{"TESSARY_PROFILE", (home / "tessary.ini").c_str()};
    const std::string dir = parent.Mkdir("new\nline \x1b[2J it's");
    parent.Write("new\nline \x1b[2J it's/index.html", "<p>x</p>\n");
    parent.Write("new\nline \x1b[2J it's/My Page.html", "<p>me</p>\n");
    CFileSystem& fs = RealFileSystem();
    TreeKey key;
    ASSERT_TRUE(TreeKeyOf(fs, dir, key));
    // What a run killed after its first rename leaves: a journal without an end.
    auto journal = CRunJournal::Create(fs, JournalsDirectory(), key.path, key.id);
    ASSERT_TRUE(journal);
    std::unique_ptr<CDir> top = fs.OpenDir(dir);
    FileStat st;
    ASSERT_TRUE(top->Stat("My Page.html", st));
    JournalRecord rec;
    rec.kind = JournalRecord::RENAME;
    rec.dirId = key.id;
    rec.name = "My Page.html";
    rec.id = rec.newId = st.id;
    rec.after = "MYPAGE.HTM";
    ASSERT_TRUE(journal->Record(rec) && journal->Commit());
    journal.reset();

    const CliResult r = RunCliWith({"--target", "dos", dir}, "", false);
    EXPECT_EQ(r.code, EXIT_USAGE);
    const std::string shownDir = parent.Path() + "/new\\x0aline \\x1b[2J it's";
    const std::string word = "$'" + parent.Path() + "/new\\x0aline \\x1b[2J it\\'s'";
    EXPECT_EQ(r.err, "tessary-cli: The last run on \"" + shownDir +
                         "\" did not finish: it was stopped or crashed while it was changing "
                         "files, so the directory is half changed.  Undo that run before a new "
                         "one: choose Undo Last in Tessary, or type\n\n    tessary-cli --undo " +
                         word + "\n");
    // The word is the directory to a shell that reads $'...'.
    if (::access("/bin/bash", X_OK) == 0) {
        const std::string test = "test -d " + word;
        const char* argv[] = {"bash", "-c", test.c_str(), nullptr};
        pid_t pid = -1;
        ASSERT_EQ(
            ::posix_spawn(&pid, "/bin/bash", nullptr, nullptr, const_cast<char**>(argv), environ),
            0);
        int status = -1;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << word;
    }
}

// Asked on the terminal: the list of new names, the rename, the report and the undo question.
TEST_F(TerminalEscape, QuestionsAndReportOfARename) {
    const TtyRun run =
        RunOnTerminal({"--target", "dos", "--rename", "--no-links", site.Path()}, "y\nn\n", true);
    ASSERT_TRUE(WIFEXITED(run.status)) << ShownText(run.tty, true);
    EXPECT_EQ(WEXITSTATUS(run.status), EXIT_CLEAN) << ShownText(run.tty, true);
    ExpectNoRawControls(run.tty);
    // Each name is shown in the list of new names and in the report's list of renames.
    for (const char* shown : kShown)
        EXPECT_EQ(Count(run.tty, shown), 2u) << shown << "\n" << ShownText(run.tty, true);
    EXPECT_NE(run.tty.find("Undo these changes? [y/N] "), std::string::npos);
    EXPECT_EQ(ListNames(site.Path()), "C1_2J.TXT\nRED31M.TXT\nTITLE0OW.HTM\n");
}

}  // namespace
}  // namespace ts::test
