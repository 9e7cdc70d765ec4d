// File names with escape sequences must not reach a terminal raw: the real program runs on a
// pseudo-terminal over a tree whose names recolour the text, retitle the window and clear the
// screen (ESC, BEL and the C1 control CSI). The report file keeps its bytes.
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
#include "cli/TerminalText.h"
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
        EXPECT_EQ(shown.find(raw), std::string::npos) << "raw " << TerminalSafe(raw, false);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The report reaches the terminal in blocks: a CR LF or a character cut by a block's end must
// come out as it would whole.
TEST(TerminalText, BlocksCutAnywhereShowLikeTheWhole) {
    const std::string text = "a\r\nb\rc\t\xc3\xa9\xe6\x97\xa5\xc2\x9b\xff\x1b[K\x7f\r\n\xe6\x97";
    const std::string whole =
        "a\r\nb\\x0dc\t\xc3\xa9\xe6\x97\xa5\\xc2\\x9b\\xff\\x1b[K\\x7f\r\n\\xe6\\x97";
    EXPECT_EQ(TerminalSafe(text, true), whole);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        CTerminalText shown(true);
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

// The report on a terminal is the report's text with the controls of the names shown
// escaped: line ends are those of standard output (LF, which the terminal shows as CR LF),
// nothing else changes.
TEST_F(TerminalEscape, ReportOnATerminal) {
    const std::vector<std::string> args{"--target", "dos", "--no-links", site.Path()};
    const CliResult raw = RunCliWith(args, "", false);
    // Names the target cannot hold are suggested only: a problem for the exit status.
    ASSERT_EQ(raw.code, EXIT_PROBLEMS) << raw.err;
    ASSERT_NE(raw.out.find(kNames[0]), std::string::npos);  // the file keeps its bytes

    const TtyRun run = RunOnTerminal(args, "", false);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.tty;
    EXPECT_EQ(WEXITSTATUS(run.status), EXIT_PROBLEMS) << run.err;
    ExpectNoRawControls(run.tty);
    std::string expected = MaskDate(raw.out);
    for (size_t i = 0; i < std::size(kNames); ++i) {
        for (size_t at = expected.find(kNames[i]); at != std::string::npos;
             at = expected.find(kNames[i], at + 1))
            expected.replace(at, std::string(kNames[i]).size(), kShown[i]);
    }
    EXPECT_EQ(Lf(MaskDate(run.tty)), expected);
    EXPECT_EQ(expected.find('\r'), std::string::npos);
}

// Asked on the terminal: the list of new names, the rename, the report and the undo question.
TEST_F(TerminalEscape, QuestionsAndReportOfARename) {
    const TtyRun run =
        RunOnTerminal({"--target", "dos", "--rename", "--no-links", site.Path()}, "y\nn\n", true);
    ASSERT_TRUE(WIFEXITED(run.status)) << TerminalSafe(run.tty, true);
    EXPECT_EQ(WEXITSTATUS(run.status), EXIT_CLEAN) << TerminalSafe(run.tty, true);
    ExpectNoRawControls(run.tty);
    // Each name is shown in the list of new names and in the report's list of renames.
    for (const char* shown : kShown)
        EXPECT_EQ(Count(run.tty, shown), 2u) << shown << "\n" << TerminalSafe(run.tty, true);
    EXPECT_NE(run.tty.find("Undo these changes? [y/N] "), std::string::npos);
    EXPECT_EQ(ListNames(site.Path()), "C1_2J.TXT\nRED31M.TXT\nTITLE0OW.HTM\n");
}

}  // namespace
}  // namespace ts::test
