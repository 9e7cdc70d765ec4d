// Finding and starting the external editor: the PATH lookup, what counts as an executable,
// and a start that leaves neither a waiting parent nor a zombie.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

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

}  // namespace ts::test
