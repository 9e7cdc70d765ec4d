// Finding and starting the external editor: the PATH lookup, what counts as an executable,
// a start that leaves neither a waiting parent nor a zombie, and the desktop's default editor
// ($VISUAL, $EDITOR, xdg-open) for a user who named none.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/DefaultEditor.h"
#include "platform/Editor.h"
#include "support/EnvVar.h"
#include "support/TempDir.h"

namespace ts::test {
namespace {

std::string Executable(const CTempDir& dir, const std::string& rel, const std::string& script) {
    std::string path = dir.Write(rel, script);
    ::chmod(path.c_str(), 0755);
    return path;
}

// The editor runs on its own: wait for what it leaves behind.
std::string WaitForFile(const std::string& path) {
    for (int i = 0; i < 500 && !Exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return ReadFile(path);
}

}  // namespace

TEST(Editor, FindsNamesOnThePathAndExecutablePaths) {
    CTempDir bin, other;
    std::string ed = Executable(bin, "ed-it", "#!/bin/sh\n");
    other.Write("plain", "not executable\n");
    other.Mkdir("dir-it");
    ::chmod((other / "dir-it").c_str(), 0755);
    CEnvVar path("PATH", (other.Path() + "::" + bin.Path()).c_str());

    // A name: the first directory of PATH that holds it as an executable file.
    EXPECT_EQ(FindExecutable("ed-it"), bin / "ed-it");
    EXPECT_EQ(FindExecutable("dir-it"), "");
    EXPECT_EQ(FindExecutable("plain"), "");
    EXPECT_EQ(FindExecutable("missing"), "");
    EXPECT_EQ(FindExecutable(""), "");
    // A path is taken as it is, never looked up.
    EXPECT_EQ(FindExecutable(ed), ed);
    EXPECT_EQ(FindExecutable(other / "plain"), "");
    EXPECT_EQ(FindExecutable(other / "dir-it"), "");
    EXPECT_EQ(FindExecutable(other / "ed-it"), "");
    EXPECT_TRUE(SystemEditorLauncher().FindEditor("ed-it"));
    EXPECT_FALSE(SystemEditorLauncher().FindEditor(other / "plain"));
}

TEST(Editor, StartsDetachedWithTheReportAsItsOneArgument) {
    CTempDir dir;
    const std::string noted = dir / "noted";
    // Slow on purpose: the start must not wait for the editor to end.
    Executable(dir, "bin/editor",
               "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + noted + ".tmp'\nsleep 1\nmv '" +
                   noted + ".tmp' '" + noted + "'\n");
    const char* oldPath = std::getenv("PATH");
    CEnvVar path("PATH", (dir / "bin" + ":" + (oldPath ? oldPath : "/bin:/usr/bin")).c_str());

    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(SystemEditorLauncher().StartEditor("editor", "/srv/a report.tsy"));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    // The editor is nobody's child here: nothing to reap, nothing left as a zombie.
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(WaitForFile(noted), "1|/srv/a report.tsy");

    // What cannot be run is reported, by path or by name.
    EXPECT_FALSE(StartDetached(dir / "missing", "r.tsy"));
    EXPECT_FALSE(StartDetached("missing", "r.tsy"));
    dir.Write("bin/broken",
              "\x7f"
              "ELF but not really");
    ::chmod((dir / "bin/broken").c_str(), 0755);
    EXPECT_FALSE(StartDetached(dir / "bin/broken", "r.tsy"));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST(Editor, CommandWordsAreSplitLikeAShellWithoutExpanding) {
    using W = std::vector<std::string>;
    EXPECT_EQ(SplitCommandWords("code --wait"), (W{"code", "--wait"}));
    EXPECT_EQ(SplitCommandWords("  gvim\t-f \n"), (W{"gvim", "-f"}));
    EXPECT_EQ(SplitCommandWords("'/opt/My Editor/ed' -n"), (W{"/opt/My Editor/ed", "-n"}));
    EXPECT_EQ(SplitCommandWords("/opt/My\\ Editor/ed"), (W{"/opt/My Editor/ed"}));
    EXPECT_EQ(SplitCommandWords("ed \"a \\\"b\\\" \\n $HOME\" ''"),
              (W{"ed", "a \"b\" \\n $HOME", ""}));
    EXPECT_EQ(SplitCommandWords("ed 'it'\"s\"x"), (W{"ed", "itsx"}));
    // Nothing a shell would do beyond splitting: these are plain words.
    EXPECT_EQ(SplitCommandWords("ed;rm -rf ~ $(id) `id` *"),
              (W{"ed;rm", "-rf", "~", "$(id)", "`id`", "*"}));
    // Blank or broken: no command at all.
    EXPECT_EQ(SplitCommandWords(""), W{});
    EXPECT_EQ(SplitCommandWords(" \t "), W{});
    EXPECT_EQ(SplitCommandWords("ed 'open"), W{});
    EXPECT_EQ(SplitCommandWords("ed \"open"), W{});
    EXPECT_EQ(SplitCommandWords("ed \\"), W{});
}

TEST(Editor, DefaultEditorIsVisualThenEditorThenXdgOpen) {
    CTempDir dir;
    const std::string noted = dir / "noted";
    // Each fake editor notes its name and every argument it got, one per line. PATH holds
    // nothing else, so the note is moved into place by mv's full path.
    const std::string mv = FindExecutable("mv");
    ASSERT_FALSE(mv.empty());
    auto fake = [&](const std::string& name) {
        return Executable(dir, "bin/" + name,
                          "#!/bin/sh\n{ echo " + name + "; for a; do echo \"[$a]\"; done; } > '" +
                              noted + ".tmp'\n'" + mv + "' '" + noted + ".tmp' '" + noted + "'\n");
    };
    fake("my ed");
    fake("plain-ed");
    fake("xdg-open");
    const std::string report = "/srv/a report;$(touch pwned).tsy";
    CEnvVar path("PATH", (dir / "bin").c_str());
    CEnvVar visual("VISUAL", ("'" + dir / "bin/my ed" + "' --wait 'two words'").c_str());
    CEnvVar editor("EDITOR", "plain-ed -n");

    // $VISUAL first, with its arguments, and the report as one argument of its own.
    ASSERT_TRUE(SystemEditorLauncher().StartDefaultEditor(report));
    EXPECT_EQ(WaitForFile(noted), "my ed\n[--wait]\n[two words]\n[" + report + "]\n");
    EXPECT_FALSE(Exists(dir / "pwned"));
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);

    // $VISUAL that cannot be started (missing, or its quotes left open): $EDITOR.
    for (const char* broken : {"missing-ed", "'my ed"}) {
        ::unlink(noted.c_str());
        CEnvVar visual2("VISUAL", broken);
        ASSERT_TRUE(StartDefaultEditor("-r.tsy")) << broken;
        // A name that starts with "-" is no option.
        EXPECT_EQ(WaitForFile(noted), "plain-ed\n[-n]\n[./-r.tsy]\n") << broken;
    }

    // Neither set (or blank): xdg-open.
    ::unlink(noted.c_str());
    CEnvVar visual3("VISUAL", nullptr);
    CEnvVar editor3("EDITOR", " ");
    ASSERT_TRUE(StartDefaultEditor(report));
    EXPECT_EQ(WaitForFile(noted), "xdg-open\n[" + report + "]\n");

    // Nothing that can be started: the caller is told.
    CEnvVar emptyPath("PATH", (dir / "none").c_str());
    EXPECT_FALSE(StartDefaultEditor(report));
    ::unlink(noted.c_str());
    CEnvVar editor4("EDITOR", (dir / "bin/plain-ed").c_str());
    ASSERT_TRUE(StartDefaultEditor(report));
    EXPECT_EQ(WaitForFile(noted), "plain-ed\n[" + report + "]\n");
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace ts::test
